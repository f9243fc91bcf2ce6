// CDialog: a dialog from a template, run modally or modeless, with data exchange and the
// framework's OK and Cancel.
#pragma once

#include "appfw/wnd.h"

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; returns the EndDialog result, or -1 when it cannot be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    void GotoDlgCtrl(CWnd* pWndCtrl);
    void SetDefID(UINT nID) { SendMessage(DM_SETDEFID, nID); }

    UINT m_nIDHelp = 0;
    UINT m_lpszTemplateName = 0; // the template id
    CWnd* m_pParentWnd = nullptr;
    HINSTANCE m_hResource = nullptr; // the module whose template to use; null: the program's

protected:
    HWND PreModal();
    BOOL OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()
};

// The dialog procedure of framework dialogs.
INT_PTR AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

using CDialogEx = CDialog;
