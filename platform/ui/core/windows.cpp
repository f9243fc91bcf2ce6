// Window creation and destruction, message sending and the default procedures.
#include "state.h"

#include <algorithm>

namespace host::ui {

bool ClassKindFromName(LPCWSTR className, Kind* kind, std::u16string* canonical) {
    if (!className) return false;
    if (IS_INTRESOURCE(className)) {
        // The atoms of the system classes, as binary templates name them.
        switch (reinterpret_cast<ULONG_PTR>(className)) {
        case 0x0080:
            *kind = Kind::Button, *canonical = u"Button";
            return true;
        case 0x0081:
            *kind = Kind::Edit, *canonical = u"Edit";
            return true;
        case 0x0082:
            *kind = Kind::Static, *canonical = u"Static";
            return true;
        case 0x0085:
            *kind = Kind::ComboBox, *canonical = u"ComboBox";
            return true;
        case 0x8002:
            *kind = Kind::Dialog, *canonical = u"#32770";
            return true;
        default:
            return false;
        }
    }
    std::u16string_view name(className);
    struct Entry {
        std::u16string_view name;
        Kind kind;
    };
    static constexpr Entry kClasses[] = {
        {u"Button", Kind::Button},     {u"Static", Kind::Static}, {u"Edit", Kind::Edit},
        {u"ComboBox", Kind::ComboBox}, {u"#32770", Kind::Dialog},
    };
    for (const Entry& e : kClasses) {
        if (EqualsNoCase(name, e.name)) {
            *kind = e.kind;
            *canonical = std::u16string(e.name);
            return true;
        }
    }
    return false;
}

static WNDPROC ClassProc(Kind kind) {
    switch (kind) {
    case Kind::Button:
        return ButtonProc;
    case Kind::Static:
        return StaticProc;
    case Kind::Edit:
        return EditProc;
    case Kind::ComboBox:
        return ComboBoxProc;
    case Kind::Dialog:
        return DefDlgProcW;
    case Kind::Desktop:
        break;
    }
    return DefWindowProcW;
}

// A drop-down combo box is as tall as its selection field; the template height is the list's.
static int ClosedComboHeight(int baseY) {
    return baseY + 8;
}

HWND CreateWindowInternal(DWORD exStyle, Kind kind, std::u16string className, std::u16string_view text,
                          DWORD style, RECT rect, HWND parent, int id, HINSTANCE instance) {
    auto w = std::make_shared<Window>();
    w->kind = kind;
    w->className = std::move(className);
    w->text = text;
    w->style = style;
    w->exStyle = exStyle;
    w->id = (style & WS_CHILD) ? id : 0;
    w->instance = instance;
    w->wndProc = ClassProc(kind);
    w->rect = rect;
    {
        auto lock = Locked();
        State& s = S();
        Window* p = FindLocked(parent);
        if ((style & WS_CHILD) && !p) return nullptr;
        if (kind == Kind::ComboBox) {
            Window* dlg = p;
            int baseY = dlg ? dlg->baseY : 16;
            if ((style & 0x3) != CBS_SIMPLE) {
                w->droppedHeight = rect.bottom - rect.top;
                w->rect.bottom = rect.top + ClosedComboHeight(baseY > 0 ? baseY : 13);
            }
        }
        w->hwnd = static_cast<HWND>(s.NewHandle());
        if (style & WS_CHILD) {
            w->parent = parent;
            p->children.push_back(w->hwnd);
        } else {
            // The owner of a top-level window is the top-level window of the one named.
            while (p && (p->style & WS_CHILD))
                p = FindLocked(p->parent);
            w->owner = (p && p->kind != Kind::Desktop) ? p->hwnd : nullptr;
            s.topLevel.push_back(w->hwnd);
        }
        s.windows[w->hwnd] = w;
    }
    CurrentDriver().WindowCreated(w->hwnd);
    return w->hwnd;
}

static void CollectSubtree(HWND hwnd, std::vector<HWND>* out) {
    out->push_back(hwnd);
    Window* w = FindLocked(hwnd);
    if (!w) return;
    for (HWND c : w->children)
        CollectSubtree(c, out);
}

void ResetWindows() {
    for (;;) {
        std::vector<HWND> top;
        {
            auto lock = Locked();
            top = S().topLevel;
            Window* d = FindLocked(S().desktop);
            top.insert(top.end(), d->children.begin(), d->children.end());
        }
        bool destroyed = false;
        for (HWND h : top)
            destroyed |= DestroyWindow(h) != FALSE;
        // Windows already being destroyed further up the stack are left to that call.
        if (!destroyed) break;
    }
    auto lock = Locked();
    S().posted.clear();
    S().boxes.clear();
    S().iconDraws.clear();
    S().surprises.clear();
    S().focus = nullptr;
}

} // namespace host::ui

using namespace host::ui;

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID) {
    Kind kind;
    std::u16string name;
    if (!ClassKindFromName(lpClassName, &kind, &name)) return nullptr;
    RECT rect{X, Y, X + nWidth, Y + nHeight};
    int id = static_cast<int>(reinterpret_cast<INT_PTR>(hMenu));
    DWORD style = dwStyle;
    std::u16string text;
    HICON image = nullptr;
    if (lpWindowName && IS_INTRESOURCE(lpWindowName)) {
        // An icon static names its icon resource instead of a text.
        if (kind == Kind::Static && (style & SS_TYPEMASK) == SS_ICON)
            image = LoadIconFrom(hInstance, LOWORD(reinterpret_cast<ULONG_PTR>(lpWindowName)));
    } else {
        text = CopyString(lpWindowName);
    }
    HWND hwnd = CreateWindowInternal(dwExStyle, kind, name, text, style, rect, hWndParent, id, hInstance);
    if (hwnd && image) SendMessageW(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(image), 0);
    return hwnd;
}

BOOL IsWindow(HWND hWnd) {
    return Find(hWnd) != nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
    std::vector<HWND> owned;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w || w->kind == Kind::Desktop || w->destroyed) return FALSE;
        w->destroyed = true;
        for (HWND t : S().topLevel) {
            Window* o = FindLocked(t);
            if (o && o->owner == hWnd) owned.push_back(t);
        }
        if (w->modal && !w->modalEnded) w->modalEnded = true;
    }
    // Owned windows go first, then the window with its children: WM_DESTROY parent first,
    // WM_NCDESTROY children first.
    for (HWND o : owned)
        DestroyWindow(o);
    std::vector<HWND> subtree;
    {
        auto lock = Locked();
        CollectSubtree(hWnd, &subtree);
        for (HWND h : subtree)
            if (Window* x = FindLocked(h)) x->destroyed = true;
        if (std::find(subtree.begin(), subtree.end(), S().focus) != subtree.end()) S().focus = nullptr;
    }
    CurrentDriver().ModalEnded(hWnd);
    for (HWND h : subtree)
        SendMessageW(h, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        SendMessageW(*it, WM_NCDESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        CurrentDriver().WindowDestroyed(*it);
    HFONT ownedFont = nullptr;
    {
        auto lock = Locked();
        State& s = S();
        Window* w = FindLocked(hWnd);
        if (w) {
            ownedFont = w->ownedFont;
            if (Window* p = FindLocked(w->parent)) std::erase(p->children, hWnd);
        }
        std::erase(s.topLevel, hWnd);
        for (HWND h : subtree)
            s.windows.erase(h);
        std::erase_if(s.posted, [&](const MSG& m) {
            return std::find(subtree.begin(), subtree.end(), m.hwnd) != subtree.end();
        });
    }
    if (ownedFont) DeleteFontObject(ownedFont);
    return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return 0;
        proc = w->wndProc;
    }
    return proc ? proc(hWnd, Msg, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    {
        auto lock = Locked();
        if (hWnd && !FindLocked(hWnd)) return FALSE;
        S().posted.push_back(MSG{hWnd, Msg, wParam, lParam, 0, {0, 0}});
    }
    CurrentDriver().MessagesPosted();
    return TRUE;
}

void PostQuitMessage(int nExitCode) {
    PostMessageW(nullptr, WM_QUIT, static_cast<WPARAM>(nExitCode), 0);
}

void host::ui::DispatchPostedMessages() {
    for (;;) {
        MSG m;
        {
            auto lock = Locked();
            if (S().posted.empty()) return;
            m = S().posted.front();
            S().posted.pop_front();
        }
        if (m.hwnd) SendMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    }
}

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_SETTEXT: {
        {
            auto lock = Locked();
            Window* w = FindLocked(hWnd);
            if (!w) return FALSE;
            w->text = CopyString(reinterpret_cast<LPCWSTR>(lParam));
        }
        NotifyChanged(hWnd, kChangeText);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return 0;
        return CopyToBuffer(w->text, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH: {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SETICON: {
        HICON old = nullptr;
        {
            auto lock = Locked();
            Window* w = FindLocked(hWnd);
            if (!w) return 0;
            HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->icon;
            old = slot;
            slot = reinterpret_cast<HICON>(lParam);
        }
        NotifyChanged(hWnd, kChangeIcon);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: {
        auto lock = Locked();
        Window* w = FindLocked(hWnd);
        if (!w) return 0;
        return reinterpret_cast<LRESULT>(wParam == ICON_SMALL ? w->smallIcon : w->icon);
    }
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_PAINT: {
        auto lock = Locked();
        if (Window* w = FindLocked(hWnd)) w->invalid = false;
        return 0;
    }
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        return 1;
    case 0x0112: // WM_SYSCOMMAND
        switch (wParam & 0xFFF0) {
        case 0xF060:
            SendMessageW(hWnd, WM_CLOSE, 0, 0);
            break; // SC_CLOSE
        case 0xF020:
            ShowWindow(hWnd, SW_MINIMIZE);
            break; // SC_MINIMIZE
        case 0xF120:
            ShowWindow(hWnd, SW_RESTORE);
            break; // SC_RESTORE
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
static bool ReturnsDirectly(UINT msg) {
    switch (msg) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case 0x0039: // WM_COMPAREITEM
    case 0x002E: // WM_VKEYTOITEM
    case 0x002F: // WM_CHARTOITEM
        return true;
    default:
        return false;
    }
}

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        if (!w) return 0;
        proc = w->dlgProc;
    }
    if (proc) {
        INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
        if (handled) {
            if (ReturnsDirectly(Msg)) return handled;
            auto lock = Locked();
            Window* w = FindLocked(hDlg);
            return w ? w->msgResult : 0;
        }
    }
    switch (Msg) {
    case WM_INITDIALOG:
        return 0;
    case WM_SETFONT: {
        {
            auto lock = Locked();
            if (Window* w = FindLocked(hDlg)) w->font = reinterpret_cast<HFONT>(wParam);
        }
        NotifyChanged(hDlg, kChangeFont);
        return 0;
    }
    case WM_GETFONT: {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hDlg, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) return 0;
        SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID: {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        if (!w) return 0;
        if (w->defId) return MAKELRESULT(w->defId, DC_HASDEFID);
        for (HWND c : w->children) {
            Window* b = FindLocked(c);
            if (b && b->kind == Kind::Button && (b->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELRESULT(b->id, DC_HASDEFID);
        }
        return 0;
    }
    case DM_SETDEFID: {
        auto lock = Locked();
        if (Window* w = FindLocked(hDlg)) w->defId = static_cast<int>(wParam);
        return TRUE;
    }
    default:
        return DefWindowProcW(hDlg, Msg, wParam, lParam);
    }
}
