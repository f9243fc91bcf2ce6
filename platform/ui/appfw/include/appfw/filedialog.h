// CFileDialog: the open/save file dialog with the framework's filter syntax ("ts|*.ts||").
#pragma once

#include "appfw/wnd.h"

#include <vector>

class CFileDialog {
public:
    explicit CFileDialog(BOOL bOpenFileDialog, LPCWSTR lpszDefExt = nullptr, LPCWSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr, DWORD dwSize = 0, BOOL bVistaStyle = TRUE);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise.
    virtual INT_PTR DoModal();
    CString GetPathName() const;
    CString GetFileName() const;
    CString GetFileExt() const;
    CString GetFileTitle() const;

    OPENFILENAMEW m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::u16string m_strFilter;
    std::u16string m_strDefExt;
    std::vector<WCHAR> m_szFileName;
    std::vector<WCHAR> m_szFileTitle;
};
