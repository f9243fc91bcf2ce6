#include "pages/common/baseprop.h"

#include "framework/classfactory.h"

namespace {

// The page size a frame gets when the template cannot be measured.
constexpr LONG DEFAULT_PAGE_CX = 340;
constexpr LONG DEFAULT_PAGE_CY = 150;
constexpr int MAX_TITLE_CHARS = 256;

// A copy of a string in task memory, which the caller frees.
HRESULT CopyToTaskMemory(LPCWSTR pszText, LPOLESTR* ppszCopy) {
    size_t cch = 0;
    while (pszText[cch]) ++cch;
    auto* pszCopy = static_cast<LPOLESTR>(CoTaskMemAlloc((cch + 1) * sizeof(OLECHAR)));
    if (!pszCopy) return E_OUTOFMEMORY;
    for (size_t i = 0; i <= cch; ++i) pszCopy[i] = pszText[i];
    *ppszCopy = pszCopy;
    return S_OK;
}

} // namespace

CBasePropertyPage::CBasePropertyPage(LPCWSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId)
    : CUnknown(pName, pUnk), m_TitleId(TitleId), m_DialogId(DialogId) {}

CBasePropertyPage::~CBasePropertyPage() = default;

HRESULT CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG CBasePropertyPage::NonDelegatingRelease() {
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        // Held at one so that the calls below cannot release the page a second time.
        m_cRef = 1;
        // A window still showing the page would send its messages to a deleted object.
        if (m_hwnd) Deactivate();
        SetPageSite(nullptr);
        SetObjects(0, nullptr);
        delete this;
        return 0;
    }
    return static_cast<ULONG>(lRef > 1 ? lRef : 1);
}

HRESULT CBasePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
        return S_OK;
    }
    if (!m_pPageSite) return E_UNEXPECTED;
    m_pPageSite->Release();
    m_pPageSite = nullptr;
    return S_OK;
}

HRESULT CBasePropertyPage::SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) {
    if (cObjects == 1) {
        if (!ppUnk || !*ppUnk) return E_POINTER;
        m_bObjectSet = TRUE;
        return OnConnect(*ppUnk);
    }
    if (cObjects == 0) {
        m_bObjectSet = FALSE;
        return OnDisconnect();
    }
    return E_UNEXPECTED;
}

HRESULT CBasePropertyPage::Activate(HWND hwndParent, LPCRECT pRect, BOOL) {
    if (!pRect) return E_POINTER;
    if (!m_bObjectSet || m_hwnd) return E_UNEXPECTED;
    m_hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), hwndParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    if (!m_hwnd) return E_OUTOFMEMORY;
    OnActivate();
    Move(pRect);
    return Show(SW_SHOWNORMAL);
}

HRESULT CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    // With m_hwnd null the style guard in OnReceiveMessage lets the change through.
    HWND hwnd = m_hwnd;
    m_hwnd = nullptr;
    LONG_PTR lStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, lStyle & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT));
    m_hwnd = hwnd;
    OnDeactivate();
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return S_OK;
}

void CBasePropertyPage::MeasureDialog(SIZE* pSize) {
    HWND hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), GetDesktopWindow(), DialogProc, 0);
    if (!hwnd) return;
    RECT rc{};
    if (GetWindowRect(hwnd, &rc)) {
        pSize->cx = rc.right - rc.left;
        pSize->cy = rc.bottom - rc.top;
    }
    DestroyWindow(hwnd);
}

HRESULT CBasePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    if (!pPageInfo) return E_POINTER;
    WCHAR wszTitle[MAX_TITLE_CHARS] = {};
    LoadStringW(g_hInst, static_cast<UINT>(m_TitleId), wszTitle, MAX_TITLE_CHARS);
    LPOLESTR pszTitle = nullptr;
    HRESULT hr = CopyToTaskMemory(wszTitle, &pszTitle);
    if (FAILED(hr)) return hr;
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = pszTitle;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    pPageInfo->size = {DEFAULT_PAGE_CX, DEFAULT_PAGE_CY};
    MeasureDialog(&pPageInfo->size);
    return S_OK;
}

HRESULT CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_SHOW) return E_INVALIDARG;
    ShowWindow(m_hwnd, static_cast<int>(nCmdShow));
    InvalidateRect(m_hwnd, nullptr, TRUE);
    return S_OK;
}

HRESULT CBasePropertyPage::Move(LPCRECT pRect) {
    if (!pRect) return E_POINTER;
    if (!m_hwnd) return E_UNEXPECTED;
    MoveWindow(m_hwnd, pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top, TRUE);
    return S_OK;
}

HRESULT CBasePropertyPage::IsPageDirty() { return m_bDirty ? S_OK : S_FALSE; }

HRESULT CBasePropertyPage::Apply() {
    if (!m_bObjectSet || !m_pPageSite) return E_UNEXPECTED;
    if (!m_bDirty) return S_OK;
    HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) m_bDirty = FALSE;
    return hr;
}

HRESULT CBasePropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT CBasePropertyPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

HRESULT CBasePropertyPage::OnConnect(IUnknown*) { return S_OK; }
HRESULT CBasePropertyPage::OnDisconnect() { return S_OK; }
HRESULT CBasePropertyPage::OnActivate() { return S_OK; }
HRESULT CBasePropertyPage::OnDeactivate() { return S_OK; }
HRESULT CBasePropertyPage::OnApplyChanges() { return S_OK; }

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!m_hwnd) return 0;
    // A page inside a frame must stay a control parent, so that the frame's keyboard navigation
    // reaches the page's controls.
    if (uMsg == WM_STYLECHANGING && static_cast<int>(wParam) == GWL_EXSTYLE) {
        reinterpret_cast<LPSTYLESTRUCT>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
        return 0;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

INT_PTR CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        auto* pPage = reinterpret_cast<CBasePropertyPage*>(lParam);
        // Created only to be measured.
        if (!pPage) return TRUE;
        pPage->m_Dlg = hwnd;
    }
    auto* pPage = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!pPage) return TRUE;
    return pPage->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
