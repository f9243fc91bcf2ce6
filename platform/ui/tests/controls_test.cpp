// The controls as a person and a program use them: notifications and their order, check and
// radio state, texts and their limits, the drop-down list, focus.
#include "recorder.h"

namespace {

using namespace host::ui;

TEST_F(UiTest, ButtonsNotifyTheirParentAndAutomaticOnesChangeState) {
    HWND dlg = OpenEveryControl();
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(test::Click(dlg, IDC_ENABLE));
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_ENABLE), BST_CHECKED);
    EXPECT_TRUE(test::Click(dlg, IDC_ENABLE));
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_ENABLE), BST_UNCHECKED);
    // A plain check box leaves its state to the program.
    EXPECT_TRUE(test::Click(dlg, IDC_MANUAL));
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_MANUAL), BST_UNCHECKED);
    EXPECT_TRUE(test::Click(dlg, IDOK));
    HWND enable = GetDlgItem(dlg, IDC_ENABLE);
    std::vector<Command> expected = {{IDC_ENABLE, BN_CLICKED, enable},
                                     {IDC_ENABLE, BN_CLICKED, enable},
                                     {IDC_MANUAL, BN_CLICKED, GetDlgItem(dlg, IDC_MANUAL)},
                                     {IDOK, BN_CLICKED, GetDlgItem(dlg, IDOK)}};
    EXPECT_EQ(Commands(), expected);
    // Setting a check by program sends nothing.
    CheckDlgButton(dlg, IDC_MANUAL, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_MANUAL), BST_CHECKED);
    EXPECT_EQ(Commands().size(), 4u);
    // Group boxes and disabled buttons take no clicks.
    EXPECT_FALSE(test::Click(dlg, IDC_GROUP));
    EnableWindow(GetDlgItem(dlg, IDOK), FALSE);
    EXPECT_FALSE(test::Click(dlg, IDOK));
    EXPECT_EQ(Commands().size(), 4u);
}

TEST_F(UiTest, AutomaticRadioButtonsUncheckTheirGroupIncludingDisabledOnes) {
    HWND dlg = OpenEveryControl();
    CheckDlgButton(dlg, IDC_OUTDOOR, BST_CHECKED);
    CheckDlgButton(dlg, IDC_OTHER, BST_CHECKED);
    EXPECT_FALSE(test::Click(dlg, IDC_OUTDOOR)); // disabled: a person cannot pick it
    EXPECT_TRUE(test::Click(dlg, IDC_50HZ));
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_50HZ), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_OUTDOOR), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_OTHER), BST_CHECKED); // another group
    EXPECT_TRUE(test::Click(dlg, IDC_60HZ));
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_50HZ), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_60HZ), BST_CHECKED);
    // Clicking the checked one again notifies again.
    EXPECT_TRUE(test::Click(dlg, IDC_60HZ));
    ASSERT_EQ(Commands().size(), 3u);
    EXPECT_EQ(Commands()[2], (Command{IDC_60HZ, BN_CLICKED, GetDlgItem(dlg, IDC_60HZ)}));

    CheckRadioButton(dlg, IDC_50HZ, IDC_OUTDOOR, IDC_OUTDOOR);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_60HZ), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_OUTDOOR), BST_CHECKED);
    EXPECT_EQ(Commands().size(), 3u);
}

TEST_F(UiTest, WindowsAreWalkedInTemplateOrder) {
    HWND dlg = OpenEveryControl();
    ASSERT_TRUE(dlg);
    HWND group = GetDlgItem(dlg, IDC_GROUP), cancel = GetDlgItem(dlg, IDCANCEL);
    EXPECT_EQ(GetWindow(dlg, GW_CHILD), group);
    EXPECT_EQ(GetWindow(group, GW_HWNDPREV), nullptr);
    EXPECT_EQ(GetWindow(GetDlgItem(dlg, IDC_50HZ), GW_HWNDNEXT), GetDlgItem(dlg, IDC_60HZ));
    EXPECT_EQ(GetWindow(GetDlgItem(dlg, IDC_OTHER), GW_HWNDPREV), GetDlgItem(dlg, IDC_OUTDOOR));
    EXPECT_EQ(GetWindow(cancel, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetWindow(GetDlgItem(dlg, IDC_NAME), GW_HWNDFIRST), group);
    EXPECT_EQ(GetWindow(group, GW_HWNDLAST), cancel);
    EXPECT_EQ(GetWindow(cancel, GW_CHILD), nullptr);
    EXPECT_EQ(GetWindow(nullptr, GW_HWNDNEXT), nullptr);
}

TEST_F(UiTest, EditTextSetByProgramNotifiesAndIsCutByTheBuffer) {
    HWND dlg = OpenEveryControl();
    HWND edit = GetDlgItem(dlg, IDC_NAME);
    ASSERT_TRUE(SetDlgItemTextW(dlg, IDC_NAME, u"123456"));
    std::vector<Command> expected = {{IDC_NAME, EN_UPDATE, edit}, {IDC_NAME, EN_CHANGE, edit}};
    EXPECT_EQ(Commands(), expected);

    WCHAR buffer[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetDlgItemTextW(dlg, IDC_NAME, buffer, 5), 4u);
    EXPECT_EQ(std::u16string(buffer), u"1234");
    EXPECT_EQ(GetDlgItemTextW(dlg, IDC_NAME, buffer, 1), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(GetWindowTextLengthW(edit), 6);
    EXPECT_EQ(GetDlgItemTextW(dlg, 4242, buffer, 8), 0u);

    BOOL ok = FALSE;
    SetDlgItemTextW(dlg, IDC_NAME, u"  -30 ");
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dlg, IDC_NAME, &ok, TRUE)), -30);
    EXPECT_TRUE(ok);
    SetDlgItemTextW(dlg, IDC_NAME, u"1920x");
    EXPECT_EQ(GetDlgItemInt(dlg, IDC_NAME, &ok, TRUE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemInt(dlg, IDC_NAME, static_cast<UINT>(-7), TRUE);
    EXPECT_EQ(test::Text(edit), u"-7");
}

TEST_F(UiTest, TypingHonoursTheLimitButProgramsDoNot) {
    HWND dlg = OpenEveryControl();
    HWND edit = GetDlgItem(dlg, IDC_NAME);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4);
    SetWindowTextW(edit, u"old text");
    Commands().clear();
    EXPECT_TRUE(test::Type(edit, u"123456"));
    EXPECT_EQ(test::Text(edit), u"1234");
    int changes = 0, full = 0;
    for (const Command& c : Commands()) {
        changes += c.code == EN_CHANGE;
        full += c.code == EN_MAXTEXT;
    }
    EXPECT_EQ(changes, 4); // one per key
    EXPECT_EQ(full, 2);
    EXPECT_EQ(Commands().front(), (Command{IDC_NAME, EN_SETFOCUS, edit})); // typing starts with focus
    SetWindowTextW(edit, u"123456789");
    EXPECT_EQ(test::Text(edit), u"123456789");
}

TEST_F(UiTest, FocusMovesWithKillBeforeSet) {
    HWND dlg = OpenEveryControl();
    HWND edit = GetDlgItem(dlg, IDC_NAME), list = GetDlgItem(dlg, IDC_LIST);
    EXPECT_TRUE(test::Focus(edit));
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_TRUE(test::Focus(list));
    EXPECT_TRUE(test::Focus(dlg, IDC_ENABLE)); // a check box without BS_NOTIFY says nothing
    std::vector<Command> expected = {{IDC_NAME, EN_SETFOCUS, edit},
                                     {IDC_NAME, EN_KILLFOCUS, edit},
                                     {IDC_LIST, CBN_SETFOCUS, list},
                                     {IDC_LIST, CBN_KILLFOCUS, list}};
    EXPECT_EQ(Commands(), expected);
    // Disabling the focused control takes the focus away.
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_ENABLE));
    EnableWindow(GetDlgItem(dlg, IDC_ENABLE), FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(SetFocus(GetDlgItem(dlg, IDC_ENABLE)), nullptr);
}

TEST_F(UiTest, DropDownListNotifiesOnlyForAPersonsChoice) {
    HWND dlg = OpenEveryControl();
    HWND list = GetDlgItem(dlg, IDC_LIST);
    EXPECT_EQ(SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"44.1 KHz")), 0);
    EXPECT_EQ(SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"48 KHz")), 1);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_SETCURSEL, 1, 0), 1);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(test::Text(list), u"48 KHz");

    EXPECT_TRUE(test::Select(list, 0));
    std::vector<Command> expected = {{IDC_LIST, CBN_SETFOCUS, list}, {IDC_LIST, CBN_SELCHANGE, list}};
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(test::Selection(list), 0);
    EXPECT_FALSE(test::Select(list, 2));

    WCHAR text[16];
    EXPECT_EQ(SendMessageW(list, CB_GETLBTEXTLEN, 0, 0), 8);
    EXPECT_EQ(SendMessageW(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)), 8);
    EXPECT_EQ(std::u16string(text), u"44.1 KHz");
    EXPECT_EQ(SendMessageW(list, CB_GETLBTEXT, 5, reinterpret_cast<LPARAM>(text)), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_SETITEMDATA, 1, 48000), TRUE);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 1, 0), 48000);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 7, 0), CB_ERR);
    EXPECT_EQ(
        SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"48 khz")),
        1);

    // Out of range clears the selection and says so.
    EXPECT_EQ(SendMessageW(list, CB_SETCURSEL, 9, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_RESETCONTENT, 0, 0), CB_OKAY);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Commands().size(), 2u);
}

// A window procedure that widens a style change and logs the style messages.
std::vector<std::pair<UINT, STYLESTRUCT>> g_styleMessages;
WNDPROC g_previousProc;
LRESULT StyleWatcher(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if ((msg == WM_STYLECHANGING || msg == WM_STYLECHANGED) && wParam == static_cast<WPARAM>(GWL_EXSTYLE)) {
        auto* ss = reinterpret_cast<STYLESTRUCT*>(lParam);
        g_styleMessages.emplace_back(msg, *ss);
        if (msg == WM_STYLECHANGING) ss->styleNew |= WS_EX_CONTROLPARENT;
    }
    return CallWindowProcW(g_previousProc, hwnd, msg, wParam, lParam);
}

TEST_F(UiTest, StyleChangesAreAnnouncedAndMayBeAmended) {
    HWND dlg = OpenEveryControl();
    HWND edit = GetDlgItem(dlg, IDC_NAME);
    g_styleMessages.clear();
    g_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StyleWatcher)));
    ASSERT_TRUE(g_previousProc);
    SetWindowLongPtrW(edit, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(GetWindowLongPtrW(edit, GWL_EXSTYLE), WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT);
    ASSERT_EQ(g_styleMessages.size(), 2u);
    EXPECT_EQ(g_styleMessages[0].first, static_cast<UINT>(WM_STYLECHANGING));
    EXPECT_EQ(g_styleMessages[0].second.styleOld, 0u);
    EXPECT_EQ(g_styleMessages[1].first, static_cast<UINT>(WM_STYLECHANGED));
    EXPECT_EQ(g_styleMessages[1].second.styleNew, static_cast<DWORD>(WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT));
    // The subclassed edit still works through the original procedure.
    SetWindowTextW(edit, u"abc");
    EXPECT_EQ(test::Text(edit), u"abc");
    // Enabling does not go through the style messages.
    EnableWindow(edit, FALSE);
    EXPECT_EQ(g_styleMessages.size(), 2u);
    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & WS_DISABLED);
}

TEST_F(UiTest, UserSlotsAndProceduresAreKeptPerWindow) {
    HWND dlg = OpenEveryControl();
    EXPECT_EQ(SetWindowLongPtrW(dlg, DWLP_USER, 0x1234), 0);
    EXPECT_EQ(GetWindowLongPtrW(dlg, DWLP_USER), 0x1234);
    EXPECT_EQ(SetWindowLongPtrW(dlg, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtrW(dlg, GWLP_USERDATA), 77);
    EXPECT_EQ(GetWindowLongPtrW(dlg, DWLP_DLGPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
    EXPECT_EQ(GetWindowLongPtrW(dlg, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefDlgProcW));
    EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(dlg, IDOK), GWLP_ID), IDOK);
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dlg, IDC_LIST)), IDC_LIST);
    EXPECT_EQ(GetParent(GetDlgItem(dlg, IDC_LIST)), dlg);
    EXPECT_EQ(GetWindowLongPtrW(nullptr, GWLP_USERDATA), 0);
}

} // namespace
