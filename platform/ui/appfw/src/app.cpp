// The application object, the framework's entry point and its global calls.
#include "appfw/app.h"
#include "appfw/controls.h"

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;

// The program's file name without its folder, as the loader names the program.
std::u16string ExecutableName() {
    WCHAR achPath[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, achPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return u"";
    std::u16string path(achPath, n);
    return path.substr(path.find_last_of(u"\\/") + 1);
}

} // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCWSTR lpszAppName) {
    if (lpszAppName) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

int CWinApp::Run() {
    return ExitInstance();
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : u"";
    m_pszRegistryKey = m_strRegistryKey;
    m_pszProfileName = m_pszAppName;
}

void CWinApp::SetCommandLine(int argc, char** argv) {
    m_argc = argc;
    m_argv = argv;
    m_strCmdLine.Empty();
    for (int i = 1; i < argc; ++i) {
        if (i > 1) m_strCmdLine += u' ';
        std::string arg(argv[i]);
        m_strCmdLine += CString(std::u16string(arg.begin(), arg.end()));
    }
    m_lpCmdLine = m_strCmdLine;
    m_strExeName = ExecutableName();
    m_pszExeName = m_strExeName;
    if (!m_pszAppName) {
        if (!m_strAppName.LoadString(m_hInstance, AFX_IDS_APP_TITLE)) m_strAppName = m_strExeName;
        m_pszAppName = m_strAppName;
    }
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWnd* AfxGetMainWnd() {
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResource ? g_hResource : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE hInstResource) {
    g_hResource = hInstResource;
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT) {
    // Owned by the window the user works in: the innermost enabled window, else the main one.
    HWND owner = ::GetActiveWindow();
    if (!owner && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
    LPCWSTR caption = g_pApp && g_pApp->m_pszAppName ? g_pApp->m_pszAppName : nullptr;
    return ::MessageBoxW(owner, lpszText, caption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp);
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = ::GetModuleHandleW(nullptr);
    app->SetCommandLine(argc, argv);
    if (!app->InitApplication() || !app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    int n = GetLBTextLen(nIndex);
    if (n < 0) {
        rString.Empty();
        return;
    }
    LPWSTR buffer = rString.GetBufferSetLength(n + 1);
    GetLBText(nIndex, buffer);
    rString.ReleaseBuffer(n);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}
