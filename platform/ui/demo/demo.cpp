// A small program on the dialog framework that shows every control kind. It opens under the
// driver the core chooses (Qt on a display); with --screenshot FILE it uses Qt, writes the
// main dialog to FILE as PNG and ends, which works under QT_QPA_PLATFORM=offscreen.
#include "resource.h"

#include "appfw/appfw.h"
#include "host/ui_core.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr UINT WM_TAKE_SCREENSHOT = WM_APP + 1;

class CSettingsDlg : public CDialog {
public:
    CSettingsDlg() : CDialog(IDD_SETTINGS) {}
};

class CDemoDlg : public CDialog {
public:
    CDemoDlg() : CDialog(IDD_DEMO) {}

    HICON m_hIcon = nullptr;
    std::string m_screenshot;
    bool m_bShotTaken = false;

protected:
    CComboBox m_cbRate, m_cbVolume;
    int m_nEnable = 1;
    int m_nVolume = 8;

    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_RATE, m_cbRate);
        DDX_Control(pDX, IDC_VOLUME, m_cbVolume);
        DDX_Check(pDX, IDC_ENABLE, m_nEnable);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        m_cbRate.AddString(u"44.1 KHz");
        m_cbRate.AddString(u"48 KHz");
        m_cbRate.SetCurSel(1);
        for (int i = 0; i < 16; ++i) {
            CString v;
            v.Format(u"%d", i);
            m_cbVolume.AddString(v);
        }
        m_cbVolume.SetCurSel(m_nVolume);
        CheckRadioButton(IDC_50HZ, IDC_60HZ, IDC_50HZ);
        SetDlgItemText(IDC_NAME, u"Capture 1");
        if (!m_screenshot.empty()) PostMessage(WM_TAKE_SCREENSHOT);
        return TRUE;
    }

    afx_msg void OnSaveAs() {
        CFileDialog dlg(FALSE, u"ts", u"*.ts", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, u"ts|*.ts||", this);
        if (dlg.DoModal() == IDOK) SetDlgItemText(IDC_PATH, dlg.GetPathName());
    }
    afx_msg void OnSettings() {
        CSettingsDlg dlg;
        if (dlg.DoModal() == IDOK) MessageBox(u"Settings written.", u"OnSettings()", MB_ICONINFORMATION);
    }
    afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
    afx_msg LRESULT OnTakeScreenshot(WPARAM, LPARAM) {
        m_bShotTaken = host::ui::Screenshot(m_hWnd, m_screenshot);
        EndDialog(m_bShotTaken ? IDOK : IDABORT);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDemoDlg, CDialog)
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_SAVE_AS, &CDemoDlg::OnSaveAs)
ON_BN_CLICKED(IDC_SETTINGS, &CDemoDlg::OnSettings)
ON_MESSAGE(WM_TAKE_SCREENSHOT, &CDemoDlg::OnTakeScreenshot)
END_MESSAGE_MAP()

class CDemoApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CWinApp::InitInstance();
        CDemoDlg dlg;
        for (int i = 1; i < m_argc; ++i) {
            if (std::strcmp(m_argv[i], "--screenshot") == 0 && i + 1 < m_argc) dlg.m_screenshot = m_argv[++i];
        }
        if (!dlg.m_screenshot.empty() && !host::ui::SelectDriver("qt")) {
            std::fprintf(stderr, "yra-ui-demo: a screenshot needs the Qt driver, which is not available\n");
            m_nExitCode = 2;
            return FALSE;
        }
        dlg.m_hIcon = LoadIcon(IDR_MAINFRAME);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        if (!dlg.m_screenshot.empty() && !dlg.m_bShotTaken) {
            std::fprintf(stderr, "yra-ui-demo: could not write %s\n", dlg.m_screenshot.c_str());
            m_nExitCode = 1;
        }
        return FALSE;
    }
};

CDemoApp theApp;

} // namespace
