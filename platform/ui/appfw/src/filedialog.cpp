// CFileDialog over the platform's open and save dialogs.
#include "appfw/filedialog.h"
#include "appfw/app.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCWSTR lpszDefExt, LPCWSTR lpszFileName, DWORD dwFlags,
                         LPCWSTR lpszFilter, CWnd* pParentWnd, DWORD, BOOL)
    : m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(pParentWnd), m_szFileName(4096, 0),
      m_szFileTitle(256, 0) {
    if (lpszFileName) {
        std::u16string_view name(lpszFileName);
        std::copy_n(name.data(), std::min(name.size(), m_szFileName.size() - 1), m_szFileName.data());
    }
    // "desc|pattern|desc|pattern||" becomes the platform's NUL-separated pairs.
    if (lpszFilter) {
        m_strFilter = lpszFilter;
        for (auto& c : m_strFilter)
            if (c == u'|') c = 0;
        m_strFilter.push_back(0);
    }
    if (lpszDefExt) m_strDefExt = lpszDefExt;
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.lpstrFile = m_szFileName.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_szFileName.size());
    m_ofn.lpstrFileTitle = m_szFileTitle.data();
    m_ofn.nMaxFileTitle = static_cast<DWORD>(m_szFileTitle.size());
    m_ofn.lpstrFilter = lpszFilter ? m_strFilter.c_str() : nullptr;
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrDefExt = lpszDefExt ? m_strDefExt.c_str() : nullptr;
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
    CWnd* owner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner ? owner->m_hWnd : nullptr;
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
    return CString(m_ofn.lpstrFile);
}

CString CFileDialog::GetFileName() const {
    return CString(m_ofn.lpstrFile + m_ofn.nFileOffset);
}

CString CFileDialog::GetFileExt() const {
    return m_ofn.nFileExtension ? CString(m_ofn.lpstrFile + m_ofn.nFileExtension) : CString();
}

CString CFileDialog::GetFileTitle() const {
    CString name = GetFileName();
    int dot = name.ReverseFind(u'.');
    return dot < 0 ? name : name.Left(dot);
}
