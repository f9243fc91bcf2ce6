// Dialogs from templates: dialog-unit geometry, fonts, resources per module, creation and
// destruction order, closing.
#include "recorder.h"

#include <dlfcn.h>

namespace {

using namespace host::ui;

TEST_F(UiTest, TemplatesAreLaidOutInDialogUnitsOfTheirFont) {
    HWND dlg = OpenEveryControl();
    // 8-point "MS Shell Dlg": 6 x 13 base units, so x * 6 / 4 and y * 13 / 8, rounded.
    RECT client{};
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 244);
    RECT window{};
    GetWindowRect(dlg, &window);
    EXPECT_EQ(window.right - window.left, 300 + 2 * GetSystemMetrics(SM_CXFIXEDFRAME));
    EXPECT_EQ(window.bottom - window.top,
              244 + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION));

    RECT ok = test::Rect(GetDlgItem(dlg, IDOK));
    EXPECT_EQ(ok.left, 132);
    EXPECT_EQ(ok.top, 211);
    EXPECT_EQ(ok.right, 132 + 75);
    EXPECT_EQ(ok.bottom, 211 + 23);
    RECT mapped{88, 130, 88 + 50, 130 + 14};
    ASSERT_TRUE(MapDialogRect(dlg, &mapped));
    EXPECT_EQ(mapped.left, 132);
    EXPECT_EQ(mapped.bottom, 234); // 144 * 13 / 8

    // Screen coordinates add the dialog's client origin.
    RECT onScreen{};
    GetWindowRect(GetDlgItem(dlg, IDOK), &onScreen);
    POINT origin{0, 0};
    ClientToScreen(dlg, &origin);
    EXPECT_EQ(onScreen.left, origin.x + 132);
    POINT p{onScreen.left, onScreen.top};
    ScreenToClient(dlg, &p);
    EXPECT_EQ(p.x, 132);
    EXPECT_EQ(p.y, 211);

    // A drop-down list is as tall as its field; the template height is the list's.
    RECT list = test::Rect(GetDlgItem(dlg, IDC_LIST));
    EXPECT_EQ(list.bottom - list.top, 21);
    RECT dropped{};
    SendMessageW(GetDlgItem(dlg, IDC_LIST), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    EXPECT_EQ(dropped.bottom - dropped.top, 163);
    // An icon static takes its icon's size.
    RECT picture = test::Rect(GetDlgItem(dlg, IDC_PICTURE));
    EXPECT_EQ(picture.right - picture.left, 32);
    EXPECT_EQ(reinterpret_cast<HICON>(SendDlgItemMessageW(dlg, IDC_PICTURE, STM_GETICON, 0, 0)),
              LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TEST)));
}

TEST_F(UiTest, ChildPageTemplateMeasuresAsItsClientArea) {
    HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHILD_PAGE),
                                   GetDesktopWindow(), RecordingProc, 0);
    ASSERT_TRUE(page);
    RECT r{};
    GetWindowRect(page, &r);
    EXPECT_EQ(r.right - r.left, 374); // 249 * 6 / 4 = 373.5
    EXPECT_EQ(r.bottom - r.top, 158); // 97 * 13 / 8 = 157.6
    EXPECT_EQ(GetParent(page), GetDesktopWindow());
    EXPECT_FALSE(IsWindowVisible(page)); // the template is not visible
    ShowWindow(page, SW_SHOWNORMAL);
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 203)));
    MoveWindow(page, 10, 20, 300, 100, TRUE);
    GetWindowRect(page, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 120);
    EXPECT_TRUE(DestroyWindow(page));
    EXPECT_FALSE(IsWindow(page));
    EXPECT_FALSE(DestroyWindow(page));
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
}

TEST_F(UiTest, ModulesKeepTheirOwnResourcesUnderTheSameIds) {
    static int otherModuleAnchor;
    auto other = reinterpret_cast<HINSTANCE>(&otherModuleAnchor);
    YraRegisterResources(other, &g_otherModuleResources);
    HWND mine = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHILD_PAGE),
                                   GetDesktopWindow(), nullptr, 0);
    HWND theirs = CreateDialogParamW(other, MAKEINTRESOURCEW(IDD_CHILD_PAGE), GetDesktopWindow(), nullptr, 0);
    ASSERT_TRUE(mine && theirs);
    EXPECT_TRUE(GetDlgItem(mine, 201));
    EXPECT_FALSE(GetDlgItem(theirs, 201));
    EXPECT_TRUE(GetDlgItem(theirs, 206));

    WCHAR buffer[64];
    EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, buffer, 64), 16);
    EXPECT_EQ(std::u16string(buffer), u"Video Properties");
    EXPECT_EQ(LoadStringW(other, IDS_TITLE, buffer, 64), 25);
    EXPECT_EQ(std::u16string(buffer), u"Video Powerline Frequency");
    YraUnregisterResources(other);
    EXPECT_EQ(LoadStringW(other, IDS_TITLE, buffer, 64), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(CreateDialogParamW(other, MAKEINTRESOURCEW(IDD_CHILD_PAGE), GetDesktopWindow(), nullptr, 0));
    EXPECT_EQ(DialogBoxParamW(other, MAKEINTRESOURCEW(IDD_CHILD_PAGE), nullptr, nullptr, 0), -1);
}

TEST_F(UiTest, ModuleHandleIsTheLoadAddress) {
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&Commands), &info));
    EXPECT_EQ(GetModuleHandleW(nullptr), static_cast<HINSTANCE>(info.dli_fbase));
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&SendMessageW), &info));
    EXPECT_EQ(GetModuleHandleW(u"libyrahost.so"), static_cast<HINSTANCE>(info.dli_fbase));
    EXPECT_EQ(GetModuleHandleW(u"yrahost"), static_cast<HINSTANCE>(info.dli_fbase));
    EXPECT_EQ(GetModuleHandleW(u"no-such-module"), nullptr);
}

TEST_F(UiTest, StringsAreCutToTheBuffer) {
    WCHAR buffer[8];
    EXPECT_EQ(LoadStringW(nullptr, IDS_LONG, buffer, 8), 7);
    EXPECT_EQ(std::u16string(buffer), u"A strin");
    EXPECT_EQ(LoadStringW(nullptr, IDS_EMPTY, buffer, 8), 0);
    EXPECT_EQ(LoadStringW(nullptr, 999, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
    const WCHAR* direct = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, reinterpret_cast<LPWSTR>(&direct), 0), 16);
    EXPECT_EQ(std::u16string_view(direct, 16), u"Video Properties");
}

TEST_F(UiTest, TemplateFontGoesToEveryControlButNotToCreatedOnes) {
    HWND dlg = OpenEveryControl();
    HFONT font = test::Font(GetDlgItem(dlg, IDC_LABEL));
    ASSERT_TRUE(font);
    EXPECT_EQ(test::Font(dlg), font);
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Shell Dlg");

    HWND made = CreateWindowExW(0, u"BUTTON", u"Start", WS_CHILD | WS_VISIBLE, 376, 32, 64, 24, dlg,
                                reinterpret_cast<HMENU>(0x7400), nullptr, nullptr);
    ASSERT_TRUE(made);
    EXPECT_EQ(test::Font(made), nullptr);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(test::Font(made), font);
    EXPECT_EQ(GetDlgItem(dlg, 0x7400), made);
    EXPECT_EQ(test::Rect(made).right, 440);

    HFONT bold = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Tahoma");
    ASSERT_TRUE(bold);
    ASSERT_EQ(GetObjectW(bold, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(DeleteObject(bold));
    EXPECT_FALSE(DeleteObject(bold));
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", WS_CHILD, 0, 0, 1, 1, dlg, nullptr, nullptr, nullptr),
              nullptr);
}

std::vector<std::pair<UINT, HWND>> g_destroyed;
LRESULT DestroyWatcher(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY || msg == WM_NCDESTROY) g_destroyed.emplace_back(msg, hwnd);
    return msg == WM_INITDIALOG ? TRUE : DefDlgProcW(hwnd, msg, wParam, lParam);
}

TEST_F(UiTest, DestructionReachesTheParentFirstAndTheChildrenLast) {
    HWND dlg = OpenEveryControl();
    HWND ok = GetDlgItem(dlg, IDOK);
    SetWindowLongPtrW(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DestroyWatcher));
    SetWindowLongPtrW(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DestroyWatcher));
    g_destroyed.clear();
    EXPECT_TRUE(DestroyWindow(dlg));
    std::vector<std::pair<UINT, HWND>> expected = {
        {WM_DESTROY, dlg}, {WM_DESTROY, ok}, {WM_NCDESTROY, ok}, {WM_NCDESTROY, dlg}};
    EXPECT_EQ(g_destroyed, expected);
    EXPECT_FALSE(IsWindow(ok));
    EXPECT_EQ(GetDlgItem(dlg, IDOK), nullptr);
}

TEST_F(UiTest, ClosingADialogIsItsCancelButton) {
    HWND dlg = OpenEveryControl();
    EXPECT_TRUE(test::Close(dlg));
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0], (Command{IDCANCEL, BN_CLICKED, GetDlgItem(dlg, IDCANCEL)}));
    EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
    EXPECT_TRUE(test::Close(dlg));
    EXPECT_TRUE(test::PressEscape(dlg) == false);
    EXPECT_TRUE(test::PressEnter(dlg)); // the default push button
    ASSERT_EQ(Commands().size(), 2u);
    EXPECT_EQ(Commands()[1].id, IDOK);
    EXPECT_TRUE(IsWindow(dlg));
}

TEST_F(UiTest, ShowingMinimisingAndPainting) {
    HWND dlg = OpenEveryControl();
    HWND label = GetDlgItem(dlg, IDC_LABEL);
    EXPECT_TRUE(IsWindowVisible(label));
    EXPECT_TRUE(ShowWindow(dlg, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(label)); // a hidden parent hides its children
    EXPECT_FALSE(test::Click(dlg, IDOK));
    EXPECT_FALSE(ShowWindow(dlg, SW_SHOWNORMAL));
    EXPECT_FALSE(IsIconic(dlg));
    EXPECT_TRUE(test::Minimize(dlg));
    EXPECT_TRUE(IsIconic(dlg));

    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(dlg, &ps);
    ASSERT_TRUE(dc);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TEST));
    EXPECT_TRUE(DrawIcon(dc, 134, 106, icon));
    EndPaint(dlg, &ps);
    auto draws = IconDrawLog();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].hwnd, dlg);
    EXPECT_EQ(draws[0].x, 134);
    EXPECT_EQ(draws[0].icon, icon);
    EXPECT_EQ(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TEST)), icon); // shared
    EXPECT_EQ(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(999)), nullptr);
    EXPECT_TRUE(LoadIconW(nullptr, IDI_APPLICATION));
    EXPECT_EQ(SendMessageW(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
}

} // namespace
