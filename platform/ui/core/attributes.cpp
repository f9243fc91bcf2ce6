// Window attributes: long values and styles, texts, dialog items, enable and visibility,
// geometry and focus.
#include "state.h"

#include <algorithm>

namespace host::ui {

bool GetWindowInfo(HWND hwnd, WindowInfo* info) {
    auto lock = Locked();
    Window* w = FindLocked(hwnd);
    if (!w || !info) return false;
    info->hwnd = w->hwnd;
    info->kind = w->kind;
    info->className = w->className;
    info->id = w->id;
    info->text = w->text;
    info->style = w->style;
    info->exStyle = w->exStyle;
    info->parent = w->parent;
    info->owner = w->owner;
    info->window = w->rect;
    info->insets = NonClientInsets(w->style, w->exStyle);
    info->check = w->check;
    info->items = w->items;
    info->curSel = w->curSel;
    info->limit = w->limit;
    info->font = w->font;
    info->icon = w->icon;
    info->smallIcon = w->smallIcon;
    info->modal = w->modal && !w->modalEnded;
    info->children = w->children;
    if (w->kind == Kind::ComboBox && w->curSel >= 0 && w->curSel < static_cast<int>(w->items.size()))
        info->text = w->items[w->curSel].text;
    return true;
}

std::vector<HWND> ChildWindows(HWND parent) {
    auto lock = Locked();
    Window* w = FindLocked(parent ? parent : S().desktop);
    return w ? w->children : std::vector<HWND>{};
}

std::vector<HWND> TopLevelWindows() {
    auto lock = Locked();
    return S().topLevel;
}

static void SetFocusState(HWND to, HWND* previous) {
    HWND old;
    {
        auto lock = Locked();
        old = S().focus;
        *previous = old;
        if (old == to) return;
        S().focus = to;
    }
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0);
    if (to) SendMessageW(to, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    CurrentDriver().FocusChanged(to);
}

static bool InSubtree(HWND root, HWND h) {
    for (Window* w = FindLocked(h); w; w = (w->style & WS_CHILD) ? FindLocked(w->parent) : nullptr)
        if (w->hwnd == root) return true;
    return false;
}

static BOOL ChangeStyle(HWND hWnd, int index, DWORD value, DWORD* previous) {
    STYLESTRUCT ss{};
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        ss.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
    }
    *previous = ss.styleOld;
    ss.styleNew = value;
    SendMessageW(hWnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        (index == GWL_STYLE ? w->style : w->exStyle) = ss.styleNew;
    }
    SendMessageW(hWnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    NotifyChanged(hWnd, kChangeStyle);
    return TRUE;
}

} // namespace host::ui

using namespace host::ui;

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    if (!w) return 0;
    if (w->kind == Kind::Dialog && nIndex >= 0) {
        if (nIndex == DWLP_MSGRESULT) return w->msgResult;
        if (nIndex == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dlgProc);
        if (nIndex == DWLP_USER) return w->dlgUser;
        return 0;
    }
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->wndProc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_USERDATA:
        return w->userData;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    if (nIndex == GWL_STYLE || nIndex == GWL_EXSTYLE) {
        DWORD previous = 0;
        if (!ChangeStyle(hWnd, nIndex, static_cast<DWORD>(dwNewLong), &previous)) return 0;
        return static_cast<LONG_PTR>(static_cast<LONG>(previous));
    }
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    if (!w) return 0;
    LONG_PTR old = 0;
    if (w->kind == Kind::Dialog && nIndex >= 0) {
        if (nIndex == DWLP_MSGRESULT)
            old = std::exchange(w->msgResult, dwNewLong);
        else if (nIndex == DWLP_DLGPROC)
            old = reinterpret_cast<LONG_PTR>(std::exchange(w->dlgProc, reinterpret_cast<DLGPROC>(dwNewLong)));
        else if (nIndex == DWLP_USER)
            old = std::exchange(w->dlgUser, dwNewLong);
        return old;
    }
    switch (nIndex) {
    case GWLP_WNDPROC:
        if (!dwNewLong) return 0;
        return reinterpret_cast<LONG_PTR>(std::exchange(w->wndProc, reinterpret_cast<WNDPROC>(dwNewLong)));
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(std::exchange(w->instance, reinterpret_cast<HINSTANCE>(dwNewLong)));
    case GWLP_HWNDPARENT:
        if (w->style & WS_CHILD) return 0;
        return reinterpret_cast<LONG_PTR>(std::exchange(w->owner, reinterpret_cast<HWND>(dwNewLong)));
    case GWLP_ID:
        return std::exchange(w->id, static_cast<int>(dwNewLong));
    case GWLP_USERDATA:
        return std::exchange(w->userData, dwNewLong);
    default:
        return 0;
    }
}

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    auto lock = Locked();
    Window* w = FindLocked(hDlg);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        Window* child = FindLocked(c);
        if (child && child->id == nIDDlgItem) return c;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    return (w && (w->style & WS_CHILD)) ? w->id : 0;
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (!IsWindow(hWnd)) return FALSE;
    return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) return 0;
    if (!IsWindow(hWnd)) {
        lpString[0] = 0;
        return 0;
    }
    return static_cast<int>(
        SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd) {
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item) {
        if (lpString && cchMax > 0) lpString[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, lpString, cchMax));
}

BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    std::string digits = bSigned ? std::to_string(static_cast<INT>(uValue)) : std::to_string(uValue);
    std::u16string text(digits.begin(), digits.end());
    return SetDlgItemTextW(hDlg, nIDDlgItem, text.c_str());
}

UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated) *lpTranslated = FALSE;
    WCHAR buffer[64];
    if (!GetDlgItem(hDlg, nIDDlgItem)) return 0;
    GetDlgItemTextW(hDlg, nIDDlgItem, buffer, 64);
    std::u16string_view s(buffer);
    size_t i = 0;
    while (i < s.size() && s[i] == u' ')
        ++i;
    bool negative = false;
    if (bSigned && i < s.size() && s[i] == u'-')
        negative = true, ++i;
    else if (i < s.size() && s[i] == u'+')
        ++i;
    size_t first = i;
    long long value = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        value = value * 10 + (s[i] - u'0');
        if (value > 0xFFFFFFFFLL) return 0;
        ++i;
    }
    while (i < s.size() && s[i] == u' ')
        ++i;
    if (i == first || i != s.size()) return 0;
    if (negative) value = -value;
    if (bSigned && (value > INT32_MAX || value < INT32_MIN)) return 0;
    if (lpTranslated) *lpTranslated = TRUE;
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    std::vector<std::pair<HWND, int>> inRange;
    {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        if (!w) return FALSE;
        for (HWND c : w->children) {
            Window* b = FindLocked(c);
            if (b && b->id >= nIDFirstButton && b->id <= nIDLastButton) inRange.emplace_back(c, b->id);
        }
    }
    for (auto [h, id] : inRange)
        SendMessageW(h, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    bool wasDisabled;
    bool loseFocus = false;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !bEnable) return wasDisabled;
        if (bEnable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        loseFocus = !bEnable && S().focus && InSubtree(hWnd, S().focus);
    }
    if (loseFocus) {
        HWND previous;
        SetFocusState(nullptr, &previous);
    }
    SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    NotifyChanged(hWnd, kChangeStyle);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    return (w && !(w->style & WS_DISABLED)) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    bool wasVisible, nowVisible;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        nowVisible = nCmdShow != SW_HIDE;
        if (nowVisible)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
        if (!(w->style & WS_CHILD)) {
            switch (nCmdShow) {
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
            case SW_SHOWMINNOACTIVE:
                w->style |= WS_MINIMIZE;
                break;
            case SW_SHOWNORMAL:
            case SW_RESTORE:
            case SW_SHOWMAXIMIZED:
                w->style &= ~WS_MINIMIZE;
                break;
            default:
                break;
            }
        }
    }
    if (wasVisible != nowVisible) SendMessageW(hWnd, WM_SHOWWINDOW, nowVisible ? TRUE : FALSE, 0);
    NotifyChanged(hWnd, kChangeStyle);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    auto lock = Locked();
    for (Window* w = FindLocked(hWnd); w; w = (w->style & WS_CHILD) ? FindLocked(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return FindLocked(hWnd) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hWnd) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    return (w && (w->style & WS_MINIMIZE)) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w || w->kind == Kind::Desktop) return FALSE;
        RECT r = w->rect;
        if (!(uFlags & SWP_NOMOVE)) {
            r.right += X - r.left;
            r.bottom += Y - r.top;
            r.left = X;
            r.top = Y;
        }
        if (!(uFlags & SWP_NOSIZE)) {
            r.right = r.left + std::max(cx, 0);
            r.bottom = r.top + std::max(cy, 0);
        }
        w->rect = r;
    }
    NotifyChanged(hWnd, kChangeGeometry);
    if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
    if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect) return FALSE;
    RECT r;
    HWND parent = nullptr;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        r = w->rect;
        if (w->style & WS_CHILD) parent = w->parent;
    }
    POINT origin = parent ? ClientOriginOnScreen(parent) : POINT{0, 0};
    *lpRect = {r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect) return FALSE;
    WindowInfo info;
    if (!GetWindowInfo(hWnd, &info)) return FALSE;
    *lpRect = info.client();
    if (lpRect->right < 0) lpRect->right = 0;
    if (lpRect->bottom < 0) lpRect->bottom = 0;
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT* lpPoint) {
    if (!lpPoint || !IsWindow(hWnd)) return FALSE;
    POINT o = ClientOriginOnScreen(hWnd);
    lpPoint->x -= o.x;
    lpPoint->y -= o.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hWnd, POINT* lpPoint) {
    if (!lpPoint || !IsWindow(hWnd)) return FALSE;
    POINT o = ClientOriginOnScreen(hWnd);
    lpPoint->x += o.x;
    lpPoint->y += o.y;
    return TRUE;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, POINT* lpPoints, UINT cPoints) {
    POINT from = hWndFrom ? ClientOriginOnScreen(hWndFrom) : POINT{0, 0};
    POINT to = hWndTo ? ClientOriginOnScreen(hWndTo) : POINT{0, 0};
    LONG dx = from.x - to.x, dy = from.y - to.y;
    for (UINT i = 0; lpPoints && i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(static_cast<int16_t>(dx)), static_cast<WORD>(static_cast<int16_t>(dy)));
}

BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return hWnd ? FALSE : TRUE;
        w->invalid = true;
    }
    CurrentDriver().Invalidated(hWnd);
    return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
    bool invalid;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return FALSE;
        invalid = w->invalid;
    }
    if (invalid) SendMessageW(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

HWND GetDesktopWindow() {
    return S().desktop;
}

HWND GetParent(HWND hWnd) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    if (!w) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    if (!w) return nullptr;
    if (uCmd == GW_OWNER) return w->owner;
    if (uCmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    Window* parent = FindLocked(w->parent ? w->parent : S().desktop);
    if (!parent) return nullptr;
    const std::vector<HWND>& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), hWnd);
    if (it == siblings.end()) return nullptr;
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == siblings.begin() ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

HWND SetFocus(HWND hWnd) {
    if (hWnd) {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w || (w->style & WS_DISABLED)) return nullptr;
    }
    HWND previous = nullptr;
    SetFocusState(hWnd, &previous);
    return previous;
}

HWND GetFocus() {
    auto lock = Locked();
    return S().focus;
}

HWND GetActiveWindow() {
    auto lock = Locked();
    for (auto it = S().topLevel.rbegin(); it != S().topLevel.rend(); ++it) {
        Window* w = FindLocked(*it);
        if (w && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) return *it;
    }
    return nullptr;
}
