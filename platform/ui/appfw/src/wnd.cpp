// CCmdTarget and CWnd: message maps, window wrappers, data exchange.
#include "appfw/app.h"
#include "handles.h"

#include <memory>

namespace appfw {

std::recursive_mutex& MapLock() {
    static auto* mu = new std::recursive_mutex;
    return *mu;
}

std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static auto* map = new std::unordered_map<HWND, CWnd*>;
    return *map;
}

// Wrappers made for windows nobody attached; kept while the window lives, never destroyed
// at exit (they own nothing).
static std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static auto* map = new std::unordered_map<HWND, std::unique_ptr<CWnd>>;
    return *map;
}

std::vector<CurrentMessage>& MessageStack() {
    thread_local std::vector<CurrentMessage> stack;
    return stack;
}

CurrentMessage*& BypassMessage() {
    thread_local CurrentMessage* bypass = nullptr;
    return bypass;
}

CDialog*& DialogBeingCreated() {
    thread_local CDialog* dialog = nullptr;
    return dialog;
}

static void PruneTemporaries() {
    auto& temp = TemporaryMap();
    for (auto it = temp.begin(); it != temp.end();) {
        if (!::IsWindow(it->first)) {
            it->second->m_hWnd = nullptr;
            it = temp.erase(it);
        } else {
            ++it;
        }
    }
}

void DetachChildrenOf(HWND dialog) {
    std::lock_guard lock(MapLock());
    for (auto it = PermanentMap().begin(); it != PermanentMap().end();) {
        if (it->first != dialog && (!::IsWindow(it->first) || ::GetParent(it->first) == dialog)) {
            it->second->m_hWnd = nullptr;
            it = PermanentMap().erase(it);
        } else {
            ++it;
        }
    }
    PruneTemporaries();
}

} // namespace appfw

using namespace appfw;

// ---- message maps ----------------------------------------------------------------------------
const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(const AFX_MSGMAP* pMap, UINT nMsg, UINT nCode,
                                                     UINT nID) {
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e && e->pfn; ++e) {
            if (e->nMessage == nMsg && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) return e;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam) {
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!e) return FALSE;
    e->pfn(this, nID, wParam, lParam);
    return TRUE;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

// ---- handles -----------------------------------------------------------------------------------
CWnd::~CWnd() {
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    if (!m_hWnd) return;
    HWND hWnd = m_hWnd;
    DetachPermanent();
    if (::IsWindow(hWnd)) ::DestroyWindow(hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    std::lock_guard lock(MapLock());
    auto it = PermanentMap().find(hWnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    std::lock_guard lock(MapLock());
    if (CWnd* p = FromHandlePermanent(hWnd)) return p;
    auto& temp = TemporaryMap();
    auto it = temp.find(hWnd);
    if (it != temp.end()) return it->second.get();
    if (temp.size() > 64) PruneTemporaries();
    auto wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = hWnd;
    return (temp[hWnd] = std::move(wrapper)).get();
}

void CWnd::AttachPermanent(HWND hWnd) {
    std::lock_guard lock(MapLock());
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
    auto it = TemporaryMap().find(hWnd);
    if (it != TemporaryMap().end()) it->second->m_hWnd = hWnd; // keeps naming the window
}

void CWnd::DetachPermanent() {
    std::lock_guard lock(MapLock());
    auto it = PermanentMap().find(m_hWnd);
    if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
    m_hWnd = nullptr;
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (!hWndNew || m_hWnd) return FALSE;
    AttachPermanent(hWndNew);
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    DetachPermanent();
    return hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID) {
    if (m_hWnd) return FALSE;
    HWND hWnd = ::CreateWindowExW(
        dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), AfxGetInstanceHandle(), nullptr);
    if (!hWnd) return FALSE;
    AttachPermanent(hWnd);
    return TRUE;
}

BOOL CWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND hWnd = m_hWnd;
    BOOL ok = ::DestroyWindow(hWnd);
    if (FromHandlePermanent(hWnd) == this) DetachPermanent();
    return ok;
}

// ---- attributes --------------------------------------------------------------------------------
CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    HWND item = ::GetDlgItem(m_hWnd, nID);
    rString.Empty();
    if (!item) return 0;
    FromHandle(item)->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::GetWindowText(CString& rString) const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    LPWSTR buffer = rString.GetBufferSetLength(n + 1);
    ::GetWindowTextW(m_hWnd, buffer, n + 1);
    rString.ReleaseBuffer();
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT) {
    DWORD style = GetStyle();
    DWORD next = (style & ~dwRemove) | dwAdd;
    if (next == style) return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(next));
    return TRUE;
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    POINT p{0, 0};
    ::ClientToScreen(m_hWnd, &p);
    lpRect->left -= p.x, lpRect->right -= p.x, lpRect->top -= p.y, lpRect->bottom -= p.y;
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
    POINT p{0, 0};
    ::ClientToScreen(m_hWnd, &p);
    lpRect->left += p.x, lpRect->right += p.x, lpRect->top += p.y, lpRect->bottom += p.y;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    HWND owner = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetParent(m_hWnd);
    CRect self;
    GetWindowRect(&self);
    CRect area(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    CRect center = area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &center);
    bool child = (GetStyle() & WS_CHILD) != 0;
    if (child) {
        ::GetClientRect(owner, &center);
        area = center;
    }
    int left = (center.left + center.right) / 2 - self.Width() / 2;
    int top = (center.top + center.bottom) / 2 - self.Height() / 2;
    left = std::max<int>(area.left, std::min<int>(left, area.right - self.Width()));
    top = std::max<int>(area.top, std::min<int>(top, area.bottom - self.Height()));
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CFont* CWnd::GetFont() const {
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    return font ? CFont::FromHandle(font) : nullptr;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->m_hObject : nullptr), bRedraw);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL));
}

// ---- messages ----------------------------------------------------------------------------------
BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), message, 0, 0);
    if (!e) return FALSE;
    *pResult = e->pfn(this, 0, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), wParam, lParam);
}

LRESULT CWnd::Default() {
    auto& stack = MessageStack();
    if (stack.empty()) return 0;
    CurrentMessage m = stack.back();
    if (::GetWindowLongPtrW(m.hwnd, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&AfxDlgProc)) {
        CurrentMessage* previous = BypassMessage();
        BypassMessage() = &m;
        LRESULT r = ::DefDlgProcW(m.hwnd, m.message, m.wParam, m.lParam);
        BypassMessage() = previous;
        return r;
    }
    return ::DefWindowProcW(m.hwnd, m.message, m.wParam, m.lParam);
}

void CWnd::OnPaint() {
    Default();
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}
void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}

// ---- data exchange -----------------------------------------------------------------------------
BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return dx.m_bFailed ? FALSE : TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!control) Fail();
    return control;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    if (HWND control = pDX->PrepareCtrl(nIDC)) rControl.Attach(control);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    // The group that starts at nIDC, in creation order up to the next WS_GROUP control; value is
    // the index of the checked button, -1 for none.
    HWND first = pDX->PrepareCtrl(nIDC);
    if (!first) return;
    std::vector<HWND> group{first};
    for (HWND h = ::GetWindow(first, GW_HWNDNEXT); h && !(::GetWindowLongW(h, GWL_STYLE) & WS_GROUP);
         h = ::GetWindow(h, GW_HWNDNEXT))
        group.push_back(h);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (::SendMessageW(group[i], BM_GETCHECK, 0, 0) == BST_CHECKED) value = static_cast<int>(i);
    } else {
        for (size_t i = 0; i < group.size(); ++i)
            ::SendMessageW(group[i], BM_SETCHECK, static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED,
                           0);
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) {
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        CWnd::FromHandle(control)->GetWindowText(value);
    } else {
        ::SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(value.GetString()));
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate)
        CWnd::FromHandle(control)->GetWindowText(value);
    else
        ::SetWindowTextW(control, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control) return;
    if (!pDX->m_bSaveAndValidate) {
        ::SetDlgItemInt(pDX->m_pDlgWnd->m_hWnd, nIDC, static_cast<UINT>(value), TRUE);
        return;
    }
    BOOL ok = FALSE;
    int v = static_cast<int>(::GetDlgItemInt(pDX->m_pDlgWnd->m_hWnd, nIDC, &ok, TRUE));
    if (!ok) {
        AfxMessageBox(u"Please enter an integer.", MB_ICONEXCLAMATION);
        ::SetFocus(control);
        pDX->Fail();
        return;
    }
    value = v;
}
