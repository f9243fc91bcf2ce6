// The application object and the framework's global calls. A program defines exactly one
// object derived from CWinApp, statically; the framework's entry point runs it.
#pragma once

#include "appfw/resids.h"
#include "appfw/wnd.h"

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitApplication() { return TRUE; }
    // FALSE ends the program without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_nExitCode; }
    // The message loop for programs whose InitInstance returns TRUE: runs until PostQuitMessage.
    virtual int Run();

    // The profile key: kept in memory, as the program stores no settings.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);

    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadStandardIcon(LPCWSTR lpszIconName) const { return ::LoadIconW(nullptr, lpszIconName); }

    afx_msg void OnHelp() {}

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszExeName = nullptr;
    LPCWSTR m_pszRegistryKey = nullptr;
    LPCWSTR m_pszProfileName = nullptr;
    LPCWSTR m_lpCmdLine = u"";
    int m_nCmdShow = SW_SHOWNORMAL;
    int m_nExitCode = 0;
    // The command line as the host gave it.
    int m_argc = 0;
    char** m_argv = nullptr;

    void SetCommandLine(int argc, char** argv);

protected:
    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName, m_strExeName, m_strRegistryKey, m_strCmdLine;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// A message box owned by the main window, with the application's name as caption.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));
// The framework's entry point: runs the application object.
int AfxWinMain(int argc, char** argv);
