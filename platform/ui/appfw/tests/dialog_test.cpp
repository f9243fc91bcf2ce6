// The dialog framework as the capture program uses it: the application object running a
// modal main dialog, controls made at run time, message-map ranges, data exchange, painting,
// nested dialogs, message boxes and the save-file dialog.
#include "appfw/appfw.h"
#include "appfw_resources.h"
#include "host/ui_test.h"

#include <gtest/gtest.h>

namespace {

namespace test = host::ui::test;

class CSettingsDlg : public CDialog {
public:
    CSettingsDlg() : CDialog(IDD_SETTINGS) {}

    CButton m_chkEnable;
    CComboBox m_cbRate, m_cbVolume;
    int m_nEnable = 1;
    int m_nVolume = 3;
    int m_nRateChanges = 0;
    bool m_bOkRan = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_ENABLE, m_chkEnable);
        DDX_Control(pDX, IDC_RATE, m_cbRate);
        DDX_Control(pDX, IDC_VOLUME, m_cbVolume);
        DDX_Check(pDX, IDC_ENABLE, m_nEnable);
        DDX_CBIndex(pDX, IDC_VOLUME, m_nVolume);
    }
    BOOL OnInitDialog() override {
        for (LPCWSTR v : {u"0", u"1", u"2", u"3", u"4", u"5"})
            SendDlgItemMessageW(m_hWnd, IDC_VOLUME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(v));
        CDialog::OnInitDialog();
        m_cbRate.AddString(u"44.1 KHz");
        m_cbRate.AddString(u"48 KHz");
        m_cbRate.SetCurSel(0); // no notification
        return TRUE;
    }
    afx_msg void OnBnClickedOk() {
        m_bOkRan = true;
        CDialog::OnOK();
    }
    afx_msg void OnSelChangeRate() { ++m_nRateChanges; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
ON_BN_CLICKED(IDOK, &CSettingsDlg::OnBnClickedOk)
ON_CBN_SELCHANGE(IDC_RATE, &CSettingsDlg::OnSelChangeRate)
END_MESSAGE_MAP()

// A dialog whose initialisation and whose check box handler run out of memory.
class CGreedyDlg : public CDialog {
public:
    CGreedyDlg() : CDialog(IDD_SETTINGS) {}
    int m_nClicks = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        throw std::bad_alloc();
    }
    afx_msg void OnEnable() {
        ++m_nClicks;
        throw std::bad_alloc();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CGreedyDlg, CDialog)
ON_BN_CLICKED(IDC_ENABLE, &CGreedyDlg::OnEnable)
END_MESSAGE_MAP()

class CMainDlg : public CDialog {
public:
    CMainDlg() : CDialog(IDD_MAIN) {}

    static constexpr int kRows = 3;
    HICON m_hIcon = nullptr;
    CStatic m_labels[kRows];
    CButton m_set[kRows], m_start[kRows];
    std::vector<UINT> m_setClicks, m_startClicks;
    INT_PTR m_settingsResult = 0;
    CString m_path;
    int m_nDestroyed = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        CString title;
        title.Format(u"Test Ver = %d", 20150415);
        SetWindowText(title);
        CFont* font = GetDlgItem(IDC_NAME_HEADER)->GetFont();
        for (int i = 0; i < kRows; ++i) {
            int top = 32 + 56 * i;
            m_labels[i].Create(u"YRA Capture Device", WS_CHILD | WS_VISIBLE, CRect(8, top, 264, top + 24),
                               this, 0x7000 + i);
            m_labels[i].SetFont(font, TRUE);
            m_set[i].Create(u"Set", WS_CHILD | WS_VISIBLE, CRect(296, top, 360, top + 24), this,
                            IDC_SET_BASE + i);
            m_set[i].SetFont(font, TRUE);
            m_start[i].Create(u"Start", WS_CHILD | WS_VISIBLE, CRect(376, top, 440, top + 24), this,
                              IDC_START_BASE + i);
            m_start[i].SetFont(font, TRUE);
        }
        m_start[2].EnableWindow(FALSE);
        return TRUE;
    }
    afx_msg void OnPaint() {
        if (IsIconic()) {
            CPaintDC dc(this);
            SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
            int cxIcon = GetSystemMetrics(SM_CXICON), cyIcon = GetSystemMetrics(SM_CYICON);
            CRect rect;
            GetClientRect(&rect);
            dc.DrawIcon((rect.Width() - cxIcon + 1) / 2, (rect.Height() - cyIcon + 1) / 2, m_hIcon);
        } else {
            CDialog::OnPaint();
        }
    }
    afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
    afx_msg void OnDestroy() {
        ++m_nDestroyed;
        CDialog::OnDestroy();
    }
    afx_msg void OnBtnClickedSet(UINT nID) {
        m_setClicks.push_back(nID);
        CSettingsDlg dlg;
        m_settingsResult = dlg.DoModal();
    }
    afx_msg void OnBtnClickedStart(UINT nID) {
        m_startClicks.push_back(nID);
        CFileDialog fd(FALSE, u"ts", u"*.ts", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, u"ts|*.ts||", this);
        if (fd.DoModal() == IDOK)
            m_path = fd.GetPathName();
        else
            MessageBox(u"No file.\n", u"OnBtnClickedStart()", MB_ICONERROR);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_DESTROY()
ON_CONTROL_RANGE(BN_CLICKED, IDC_SET_BASE, IDC_SET_BASE + 0x1FF, &CMainDlg::OnBtnClickedSet)
ON_COMMAND_RANGE(IDC_START_BASE, IDC_START_BASE + 0x1FF, &CMainDlg::OnBtnClickedStart)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
public:
    INT_PTR m_nResult = 0;
    std::function<void(CMainDlg&)> m_inspect;

    BOOL InitInstance() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
        InitCommonControlsEx(&icc);
        CWinApp::InitInstance();
        SetRegistryKey(u"Local AppWizard-Generated Applications");
        CMainDlg dlg;
        dlg.m_hIcon = LoadIcon(IDR_MAINFRAME);
        m_pMainWnd = &dlg;
        m_nResult = dlg.DoModal();
        if (m_inspect) m_inspect(dlg);
        return FALSE;
    }
};

CTestApp theApp;

class AppFramework : public ::testing::Test {
protected:
    void SetUp() override { test::Reset(); }
    void TearDown() override { EXPECT_TRUE(test::Surprises().empty()); }
};

TEST_F(AppFramework, ApplicationRunsItsMainDialogModallyAndEnds) {
    test::OnNextModal([](HWND dlg) {
        EXPECT_EQ(test::Text(dlg), u"Test Ver = 20150415");
        EXPECT_EQ(AfxGetMainWnd()->m_hWnd, dlg);
        EXPECT_EQ(
            SendMessageW(dlg, WM_GETICON, ICON_BIG, 0),
            reinterpret_cast<LRESULT>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))));
        HFONT header = test::Font(GetDlgItem(dlg, IDC_NAME_HEADER));
        ASSERT_TRUE(header);
        for (int i = 0; i < CMainDlg::kRows; ++i) {
            HWND label = GetDlgItem(dlg, 0x7000 + i), set = GetDlgItem(dlg, IDC_SET_BASE + i);
            ASSERT_TRUE(label && set);
            EXPECT_EQ(test::Text(label), u"YRA Capture Device");
            EXPECT_EQ(test::Font(set), header);
            RECT r = test::Rect(set);
            EXPECT_EQ(r.left, 296);
            EXPECT_EQ(r.top, 32 + 56 * i);
            EXPECT_EQ(r.bottom - r.top, 24);
        }
        // A dialog its initialisation did not place is centred on the screen.
        RECT w{};
        GetWindowRect(dlg, &w);
        EXPECT_NEAR((w.left + w.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_TRUE(test::Close(dlg));
    });
    char name[] = "framework-test";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(AfxWinMain(1, argv), 0);
    EXPECT_EQ(theApp.m_nResult, IDCANCEL);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr); // the dialog object is gone
    EXPECT_EQ(std::u16string(theApp.m_pszRegistryKey), u"Local AppWizard-Generated Applications");
    EXPECT_EQ(std::u16string(theApp.m_pszAppName), u"Framework Test");
    EXPECT_TRUE(host::ui::TopLevelWindows().empty());
    // The application's own command table.
    EXPECT_TRUE(theApp.OnCmdMsg(ID_HELP, 0, 0, 0));
    EXPECT_FALSE(theApp.OnCmdMsg(ID_HELP + 1, 0, 0, 0));
}

TEST_F(AppFramework, CommandRangesHandTheirHandlersTheId) {
    CMainDlg dlg;
    test::OnNextModal([&](HWND hwnd) {
        test::OnNextModal([](HWND settings) {
            EXPECT_EQ(GetParent(settings), nullptr); // no main window: no owner
            EXPECT_TRUE(test::Click(settings, IDCANCEL));
        });
        EXPECT_TRUE(test::Click(hwnd, IDC_SET_BASE + 1));
        EXPECT_FALSE(test::Click(hwnd, IDC_START_BASE + 2)); // disabled
        test::AnswerFileDialog(u"/tmp/capture");
        EXPECT_TRUE(test::Click(hwnd, IDC_START_BASE));
        test::CancelFileDialog();
        EXPECT_TRUE(test::Click(hwnd, IDC_START_BASE + 1));
        EXPECT_TRUE(test::PressEnter(hwnd)); // no OK button: the command all the same
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_setClicks, std::vector<UINT>{IDC_SET_BASE + 1});
    EXPECT_EQ(dlg.m_startClicks, (std::vector<UINT>{IDC_START_BASE, IDC_START_BASE + 1}));
    EXPECT_EQ(dlg.m_settingsResult, IDCANCEL);
    EXPECT_EQ(dlg.m_path, u"/tmp/capture.ts");
    auto files = test::FileDialogs();
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(files[0].filters.size(), 1u);
    EXPECT_EQ(files[0].filters[0].description, u"ts");
    EXPECT_EQ(files[0].filters[0].pattern, u"*.ts");
    EXPECT_EQ(files[0].initialName, u"*.ts");
    EXPECT_EQ(files[0].defaultExt, u"ts");
    EXPECT_TRUE(files[0].flags & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(files[0].flags & OFN_HIDEREADONLY);
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"No file.\n");
    EXPECT_EQ(boxes[0].caption, u"OnBtnClickedStart()");
    EXPECT_EQ(boxes[0].icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(dlg.m_nDestroyed, 1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_set[0].m_hWnd, nullptr); // control wrappers let go with their dialog
}

TEST_F(AppFramework, RunningOutOfMemoryInAHandlerIsReportedAndTheDialogGoesOn) {
    CGreedyDlg dlg;
    test::OnNextModal([&](HWND hwnd) {
        EXPECT_EQ(test::MessageBoxes().size(), 1u) << "the initialisation's";
        EXPECT_TRUE(test::Click(hwnd, IDC_ENABLE));
        EXPECT_TRUE(test::Click(hwnd, IDC_ENABLE));
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(test::Click(hwnd, IDCANCEL));
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nClicks, 2);
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, u"Out of memory.");
        EXPECT_EQ(box.icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
    }
}

TEST_F(AppFramework, NestedDialogIsOwnedByTheMainWindow) {
    CMainDlg dlg;
    theApp.m_pMainWnd = &dlg;
    HWND main = nullptr;
    test::OnNextModal([&](HWND hwnd) {
        main = hwnd;
        test::OnNextModal([&](HWND settings) {
            EXPECT_EQ(GetParent(settings), main);
            EXPECT_FALSE(IsWindowEnabled(main));
            EXPECT_EQ(AfxMessageBox(u"Unknown resolution.", MB_ICONEXCLAMATION), IDOK);
            EXPECT_TRUE(test::PressEscape(settings));
        });
        EXPECT_TRUE(test::Click(hwnd, IDC_SET_BASE));
        EXPECT_TRUE(test::Close(hwnd));
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    theApp.m_pMainWnd = nullptr;
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, std::u16string(theApp.m_pszAppName ? theApp.m_pszAppName : u"Error"));
    EXPECT_EQ(boxes[0].icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_NE(boxes[0].owner, main); // the settings dialog, where the user works
    EXPECT_TRUE(boxes[0].owner);
}

TEST_F(AppFramework, DataExchangeLoadsControlsAndSavesThemOnOK) {
    CSettingsDlg dlg;
    for (int run = 0; run < 2; ++run) {
        test::OnNextModal([&](HWND hwnd) {
            EXPECT_EQ(dlg.m_cbRate.m_hWnd, GetDlgItem(hwnd, IDC_RATE));
            EXPECT_EQ(CWnd::FromHandle(GetDlgItem(hwnd, IDC_VOLUME)), &dlg.m_cbVolume);
            EXPECT_EQ(test::Check(GetDlgItem(hwnd, IDC_ENABLE)), dlg.m_nEnable);
            EXPECT_EQ(test::Selection(GetDlgItem(hwnd, IDC_VOLUME)), dlg.m_nVolume);
            EXPECT_EQ(dlg.m_cbRate.GetCount(), 2);
            CString text;
            dlg.m_cbRate.GetLBText(1, text);
            EXPECT_EQ(text, u"48 KHz");
            EXPECT_EQ(dlg.m_nRateChanges, 0); // SetCurSel by the program is silent
            EXPECT_TRUE(test::Click(hwnd, IDC_ENABLE));
            EXPECT_TRUE(test::Select(hwnd, IDC_VOLUME, 5));
            EXPECT_TRUE(test::Select(hwnd, IDC_RATE, 1));
            EXPECT_EQ(dlg.m_nRateChanges, 1);
            EXPECT_EQ(dlg.m_nVolume, 3); // members change only on OK
            EXPECT_TRUE(test::PressEnter(hwnd));
        });
        dlg.m_nEnable = 1;
        dlg.m_nRateChanges = 0;
        dlg.m_nVolume = 3;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(dlg.m_bOkRan);
        EXPECT_EQ(dlg.m_nEnable, 0);
        EXPECT_EQ(dlg.m_nVolume, 5);
        EXPECT_EQ(dlg.m_cbRate.m_hWnd, nullptr);
    }
}

class CRadioDlg : public CDialog {
public:
    CRadioDlg() : CDialog(IDD_RADIOS) {}
    int m_nChoice = 1;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Radio(pDX, IDC_50HZ, m_nChoice);
    }
};

// The group runs from the named button to the next one that starts a group.
TEST_F(AppFramework, RadioExchangeCoversTheButtonsOfOneGroup) {
    CRadioDlg dlg;
    test::OnNextModal([&](HWND hwnd) {
        EXPECT_EQ(IsDlgButtonChecked(hwnd, IDC_50HZ), BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(hwnd, IDC_60HZ), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(hwnd, IDC_OUTDOOR), BST_UNCHECKED);
        CheckDlgButton(hwnd, IDC_OTHER, BST_CHECKED);
        EXPECT_TRUE(test::Click(hwnd, IDC_OUTDOOR));
        EXPECT_TRUE(test::PressEnter(hwnd));
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nChoice, 2); // "Other", in a group of its own, is not counted

    dlg.m_nChoice = -1;
    test::OnNextModal([&](HWND hwnd) {
        for (int id : {IDC_50HZ, IDC_60HZ, IDC_OUTDOOR})
            EXPECT_EQ(IsDlgButtonChecked(hwnd, id), BST_UNCHECKED);
        EXPECT_TRUE(test::PressEnter(hwnd));
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nChoice, -1);
}

TEST_F(AppFramework, PaintDrawsTheIconCentredOnlyWhenMinimised) {
    CMainDlg dlg;
    dlg.m_hIcon = theApp.LoadIcon(IDR_MAINFRAME);
    test::OnNextModal([&](HWND hwnd) {
        test::Paint(hwnd);
        EXPECT_TRUE(host::ui::IconDrawLog().empty());
        EXPECT_TRUE(test::Minimize(hwnd));
        test::Paint(hwnd);
        auto draws = host::ui::IconDrawLog();
        ASSERT_EQ(draws.size(), 1u);
        RECT client = test::ClientRect(hwnd);
        EXPECT_EQ(draws[0].x, (client.right - 32 + 1) / 2);
        EXPECT_EQ(draws[0].y, (client.bottom - 32 + 1) / 2);
        EXPECT_EQ(draws[0].icon, dlg.m_hIcon);
        EXPECT_EQ(SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dlg.m_hIcon));
        EXPECT_TRUE(test::PressEscape(hwnd));
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(AppFramework, MissingTemplateFailsDoModal) {
    CDialog dlg(4711);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(AppFramework, FontsAndModelessDialogs) {
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(90, u"MS Shell Dlg"));
    LOGFONTW lf{};
    ASSERT_TRUE(font.GetLogFont(&lf));
    EXPECT_EQ(lf.lfHeight, -12);
    CSettingsDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    EXPECT_TRUE(dlg.m_hWnd);
    dlg.GetDlgItem(IDOK)->SetFont(&font);
    EXPECT_EQ(dlg.GetDlgItem(IDOK)->GetFont()->m_hObject, font.m_hObject);
    CString text;
    dlg.GetDlgItemText(IDCANCEL, text);
    EXPECT_EQ(text, u"Cancel");
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

} // namespace
