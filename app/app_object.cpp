// The application object: registers the control classes, runs the main dialog, and ends when
// the dialog does; no message loop follows.
#include "YRA_HD_Capture_AP.h"
#include "YRA_HD_Capture_APDlg.h"

BEGIN_MESSAGE_MAP(CYRA_HD_Capture_APApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CYRA_HD_Capture_APApp::CYRA_HD_Capture_APApp() = default;

BOOL CYRA_HD_Capture_APApp::InitInstance() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    CYRA_HD_Capture_APDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
