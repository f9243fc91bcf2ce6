// The property-page protocol both pages share: site, objects, activation, showing, moving,
// page info, applying and the final release.
#include "page_fixture.h"
#include "plat/resource.h"

#include <sys/wait.h>
#include <unistd.h>

namespace page_testing {
namespace {

class PageProtocolTest : public PageTest, public testing::WithParamInterface<CLSID> {};

TEST_P(PageProtocolTest, HoldsOneSiteAtATime) {
    IPropertyPage* page = CreatePage(GetParam());
    EXPECT_EQ(page->SetPageSite(nullptr), E_UNEXPECTED);
    EXPECT_EQ(page->SetPageSite(&site), S_OK);
    EXPECT_EQ(site.refs, 2u);
    CountingSite other;
    EXPECT_EQ(page->SetPageSite(&other), E_UNEXPECTED);
    EXPECT_EQ(other.refs, 1u);
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 1u);
    page->Release();
}

TEST_P(PageProtocolTest, TakesExactlyOneObject) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    IUnknown* objects[] = {device.filter, device.filter};
    IUnknown* none[] = {nullptr};
    EXPECT_EQ(page->SetObjects(2, objects), E_UNEXPECTED);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, none), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(device.Refs(), 3u) << "the page holds IKsControl and IKsPropertySet";
    // Connecting again without a disconnect must not leave the first pair behind.
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(device.Refs(), 3u);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(device.Refs(), 1u);
    page->Release();
}

TEST_P(PageProtocolTest, ActivatesOnceWithAnObjectAndARectangle) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    EXPECT_EQ(page->Activate(parent, &kPageRect, TRUE), E_UNEXPECTED) << "no object yet";
    ASSERT_EQ(Connect(page, device), S_OK);
    EXPECT_EQ(page->Activate(parent, nullptr, TRUE), E_POINTER);
    EXPECT_EQ(page->Activate(parent, &kPageRect, TRUE), S_OK);
    EXPECT_EQ(page->Activate(parent, &kPageRect, TRUE), E_UNEXPECTED);
    ASSERT_EQ(host::ui::ChildWindows(parent).size(), 1u) << "a second activation made a second window";
    HWND window = host::ui::ChildWindows(parent)[0];
    EXPECT_TRUE(ui::Visible(window));
    RECT r = ui::Rect(window);
    EXPECT_EQ(r.left, kPageRect.left);
    EXPECT_EQ(r.top, kPageRect.top);
    EXPECT_EQ(r.right, kPageRect.right);
    EXPECT_EQ(r.bottom, kPageRect.bottom);

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    // Activating again after a deactivation makes a fresh window.
    EXPECT_EQ(page->Activate(parent, &kPageRect, TRUE), S_OK);
    EXPECT_EQ(host::ui::ChildWindows(parent).size(), 1u);
    page->Release();
}

TEST_P(PageProtocolTest, ShowsAndMovesOnlyAnActiveWindow) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    RECT moved{20, 50, 220, 150};
    EXPECT_EQ(page->Move(&moved), E_UNEXPECTED);
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
    HWND window = Open(page, device);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(page->Show(SW_HIDE), S_OK);
    EXPECT_FALSE(ui::Visible(window));
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_TRUE(ui::Visible(window));
    EXPECT_EQ(page->Show(SW_SHOWMINIMIZED), E_INVALIDARG);
    EXPECT_TRUE(ui::Visible(window));

    EXPECT_EQ(page->Move(nullptr), E_POINTER);
    EXPECT_EQ(page->Move(&moved), S_OK);
    RECT r = ui::Rect(window);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);
    page->Release();
}

TEST_P(PageProtocolTest, StaysAControlParentWhileActive) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    HWND window = Open(page, device);
    SetWindowLongPtrW(window, GWL_EXSTYLE, 0);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    page->Release();
}

TEST_P(PageProtocolTest, ReportsTitleAndTemplateSize) {
    IPropertyPage* page = CreatePage(GetParam());
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    std::u16string title = info.pszTitle;
    EXPECT_EQ(title, GetParam() == CLSID_VideoControlPage ? u"Video Properties" : u"Video Powerline Frequency");
    // 249 x 97 dialog units at the 8-point font's 6 x 13 base units.
    EXPECT_EQ(info.size.cx, 374);
    EXPECT_EQ(info.size.cy, 158);
    EXPECT_EQ(info.pszDocString, nullptr);
    EXPECT_EQ(info.pszHelpFile, nullptr);
    EXPECT_EQ(info.dwHelpContext, 0u);
    CoTaskMemFree(info.pszTitle);
    EXPECT_TRUE(host::ui::ChildWindows(GetDesktopWindow()).empty()) << "the measured template was left behind";
    page->Release();
}

TEST_P(PageProtocolTest, ReportsADefaultSizeWhenTheTemplateIsMissing) {
    IPropertyPage* page = CreatePage(GetParam());
    // Without the module's resources the template cannot be made. They cannot be put back, so
    // this runs in a child process.
    Dl_info module{};
    ASSERT_TRUE(dladdr(ModuleEntry<void>(GetParam() == CLSID_VideoControlPage ? kVideoModule : kPowerModule,
                                         "DllGetClassObject"),
                       &module));
    pid_t child = fork();
    if (child == 0) {
        YraUnregisterResources(static_cast<HINSTANCE>(module.dli_fbase));
        PROPPAGEINFO info{};
        bool ok = page->GetPageInfo(&info) == S_OK && info.size.cx == 340 && info.size.cy == 150 &&
                  info.pszTitle && info.pszTitle[0] == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    page->Release();
}

TEST_P(PageProtocolTest, AppliesOnlyWithObjectAndSite) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    EXPECT_EQ(page->Apply(), E_UNEXPECTED);
    ASSERT_EQ(Connect(page, device), S_OK);
    EXPECT_EQ(page->Apply(), E_UNEXPECTED) << "no site";
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    device.model->ClearCalls();
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_TRUE(device.model->Calls().empty()) << "a clean page touched the device";
    page->Release();
}

TEST_P(PageProtocolTest, LastReleaseLetsGoOfSiteDeviceAndWindow) {
    Device device;
    IPropertyPage* page = CreatePage(GetParam());
    HWND window = Open(page, device);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(site.refs, 1u);
    EXPECT_EQ(device.Refs(), 1u);
    // The window would otherwise send its messages to the deleted page.
    EXPECT_FALSE(IsWindow(window));
}

INSTANTIATE_TEST_SUITE_P(BothPages, PageProtocolTest, testing::Values(CLSID_VideoControlPage, CLSID_PowerLinePage),
                         [](const testing::TestParamInfo<CLSID>& info) {
                             return info.param == CLSID_VideoControlPage ? "Video" : "Power";
                         });

} // namespace
} // namespace page_testing
