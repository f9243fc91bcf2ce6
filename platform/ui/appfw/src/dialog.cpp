// CDialog and the framework's dialog procedure.
#include "appfw/app.h"
#include "handles.h"

#include <new>

using namespace appfw;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_lpszTemplateName(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

HWND CDialog::PreModal() {
    if (m_pParentWnd) return m_pParentWnd->m_hWnd;
    // The framework's default owner: the main window, unless that is this dialog.
    CWnd* main = AfxGetMainWnd();
    return (main && main != this && ::IsWindow(main->m_hWnd)) ? main->m_hWnd : nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND parent = PreModal();
    CDialog* previous = DialogBeingCreated();
    DialogBeingCreated() = this;
    INT_PTR result = ::DialogBoxParamW(m_hResource ? m_hResource : AfxGetResourceHandle(),
                                       MAKEINTRESOURCEW(m_lpszTemplateName), parent, AfxDlgProc,
                                       reinterpret_cast<LPARAM>(this));
    DialogBeingCreated() = previous;
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_lpszTemplateName = nIDTemplate;
    if (pParentWnd) m_pParentWnd = pParentWnd;
    CDialog* previous = DialogBeingCreated();
    DialogBeingCreated() = this;
    HWND hWnd = ::CreateDialogParamW(m_hResource ? m_hResource : AfxGetResourceHandle(),
                                     MAKEINTRESOURCEW(nIDTemplate), PreModal(), AfxDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    DialogBeingCreated() = previous;
    return hWnd != nullptr;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    if (pWndCtrl) ::SetFocus(pWndCtrl->m_hWnd);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCmdMsg(nID, nCode, wParam, lParam)) return TRUE;
    // Commands the dialog does not handle go to the application (such as ID_HELP).
    CWinApp* app = AfxGetApp();
    return app ? app->OnCmdMsg(nID, nCode, wParam, lParam) : FALSE;
}

namespace {

bool ReturnsDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

struct MessageScope {
    explicit MessageScope(CurrentMessage m) { MessageStack().push_back(m); }
    ~MessageScope() { MessageStack().pop_back(); }
};

// A handler that ran out of memory is reported, and the dialog goes on with the message taken
// as handled, as the platform's framework does at message dispatch.
void ReportOutOfMemory() {
    try {
        AfxMessageBox(u"Out of memory.", MB_ICONEXCLAMATION);
    } catch (const std::bad_alloc&) {
        // Nothing left to report with.
    }
}

} // namespace

INT_PTR AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CurrentMessage* bypass = BypassMessage(); bypass && bypass->hwnd == hWnd &&
                                                  bypass->message == message && bypass->wParam == wParam &&
                                                  bypass->lParam == lParam) {
        BypassMessage() = nullptr;
        return FALSE;
    }
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd && DialogBeingCreated()) {
        pWnd = DialogBeingCreated();
        DialogBeingCreated() = nullptr;
        pWnd->AttachPermanent(hWnd);
    }
    if (!pWnd) return FALSE;
    MessageScope scope({hWnd, message, wParam, lParam});

    if (message == WM_INITDIALOG) {
        RECT before{};
        ::GetWindowRect(hWnd, &before);
        BOOL focus = TRUE;
        try {
            focus = static_cast<CDialog*>(pWnd)->OnInitDialog();
        } catch (const std::bad_alloc&) {
            ReportOutOfMemory();
        }
        // A top-level dialog that its initialisation did not place is centred on its owner.
        RECT after{};
        if (::IsWindow(hWnd) && !(::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) &&
            ::GetWindowRect(hWnd, &after) && CRect(before) == after)
            pWnd->CenterWindow();
        return focus;
    }
    LRESULT result = 0;
    BOOL handled = FALSE;
    try {
        handled = pWnd->OnWndMsg(message, wParam, lParam, &result);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();
        handled = TRUE;
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        DetachChildrenOf(hWnd);
        pWnd->DetachPermanent();
        pWnd->PostNcDestroy();
        return FALSE;
    }
    if (!handled) return FALSE;
    if (ReturnsDirectly(message)) return result;
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
