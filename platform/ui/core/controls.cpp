// The class procedures of the system controls: button, static, edit and drop-down list.
#include "state.h"

#include <algorithm>

namespace host::ui {
namespace {

// Font messages are the same for every control.
bool HandleFont(HWND hwnd, UINT msg, WPARAM wParam, LRESULT* result) {
    if (msg == WM_SETFONT) {
        {
            auto lock = Locked();
            if (Window* w = FindLocked(hwnd)) w->font = reinterpret_cast<HFONT>(wParam);
        }
        NotifyChanged(hwnd, kChangeFont);
        *result = 0;
        return true;
    }
    if (msg == WM_GETFONT) {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        *result = w ? reinterpret_cast<LRESULT>(w->font) : 0;
        return true;
    }
    return false;
}

DWORD StyleOf(HWND hwnd) {
    auto lock = Locked();
    Window* w = FindLocked(hwnd);
    return w ? w->style : 0;
}

// The siblings of a control's group: from the nearest WS_GROUP control at or before it to the
// next WS_GROUP control.
std::vector<HWND> GroupOf(HWND control) {
    auto lock = Locked();
    Window* w = FindLocked(control);
    Window* parent = w ? FindLocked(w->parent) : nullptr;
    if (!parent) return {};
    const auto& siblings = parent->children;
    auto self = std::find(siblings.begin(), siblings.end(), control);
    if (self == siblings.end()) return {};
    auto first = self;
    while (first != siblings.begin()) {
        Window* s = FindLocked(*first);
        if (s && (s->style & WS_GROUP)) break;
        --first;
    }
    std::vector<HWND> group{*first};
    for (auto it = first + 1; it != siblings.end(); ++it) {
        Window* s = FindLocked(*it);
        if (s && (s->style & WS_GROUP)) break;
        group.push_back(*it);
    }
    return group;
}

void SetCheckState(HWND hwnd, int check) {
    {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return;
        DWORD type = w->style & BS_TYPEMASK;
        bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                         type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
        if (!checkable) return;
        if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
        if (w->check == check) return;
        w->check = check;
    }
    NotifyChanged(hwnd, kChangeCheck);
}

void Click(HWND hwnd) {
    DWORD style = StyleOf(hwnd);
    DWORD type = style & BS_TYPEMASK;
    if ((style & WS_DISABLED) || type == BS_GROUPBOX) return;
    SetFocus(hwnd);
    int check = static_cast<int>(SendMessageW(hwnd, BM_GETCHECK, 0, 0));
    switch (type) {
    case BS_AUTOCHECKBOX:
        SendMessageW(hwnd, BM_SETCHECK, check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        break;
    case BS_AUTO3STATE:
        SendMessageW(hwnd, BM_SETCHECK, (check + 1) % 3, 0);
        break;
    case BS_AUTORADIOBUTTON:
        // Checking one automatic radio button unchecks the others of its group, disabled ones too.
        SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        for (HWND sibling : GroupOf(hwnd)) {
            if (sibling != hwnd && (StyleOf(sibling) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        break;
    default:
        break;
    }
    NotifyParent(hwnd, BN_CLICKED);
}

// Replaces an edit control's text and tells the parent, as both a program and a person do.
void ReplaceEditText(HWND hwnd, std::u16string text, bool notify) {
    {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return;
        w->text = std::move(text);
        w->selectAll = false;
    }
    NotifyChanged(hwnd, kChangeText);
    if (notify) {
        NotifyParent(hwnd, EN_UPDATE);
        NotifyParent(hwnd, EN_CHANGE);
    }
}

LRESULT TypeChar(HWND hwnd, char16_t c) {
    std::u16string text;
    UINT limit;
    DWORD style;
    {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return 0;
        style = w->style;
        if (style & ES_READONLY) return 0;
        text = w->selectAll ? std::u16string() : w->text;
        limit = w->limit;
    }
    if (c == 0x08) {
        if (!text.empty()) text.pop_back();
    } else {
        if (c < 0x20) return 0;
        if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) return 0;
        if (text.size() >= limit) {
            NotifyParent(hwnd, EN_MAXTEXT);
            return 0;
        }
        text += c;
    }
    ReplaceEditText(hwnd, std::move(text), true);
    return 0;
}

int ComboFind(const Window& w, int start, std::u16string_view s, bool exact) {
    int n = static_cast<int>(w.items.size());
    if (n == 0) return CB_ERR;
    int from = (start < -1 || start >= n) ? -1 : start;
    for (int k = 1; k <= n; ++k) {
        int i = (from + k) % n;
        std::u16string_view item = w.items[i].text;
        bool match = exact ? EqualsNoCase(item, s)
                           : (item.size() >= s.size() && EqualsNoCase(item.substr(0, s.size()), s));
        if (match) return i;
    }
    return CB_ERR;
}

int ComboInsert(Window& w, int index, std::u16string text) {
    if (index < 0 || index > static_cast<int>(w.items.size())) {
        if (index != -1) return CB_ERR;
        index = static_cast<int>(w.items.size());
        if (w.style & CBS_SORT) {
            auto less = [](std::u16string_view a, std::u16string_view b) {
                for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
                    char16_t x = (a[i] >= u'a' && a[i] <= u'z') ? a[i] - 32 : a[i];
                    char16_t y = (b[i] >= u'a' && b[i] <= u'z') ? b[i] - 32 : b[i];
                    if (x != y) return x < y;
                }
                return a.size() < b.size();
            };
            index = 0;
            while (index < static_cast<int>(w.items.size()) && !less(text, w.items[index].text))
                ++index;
        }
    }
    w.items.insert(w.items.begin() + index, ComboItem{std::move(text), 0});
    if (w.curSel >= index) ++w.curSel;
    return index;
}

} // namespace

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleFont(hwnd, msg, wParam, &result)) return result;
    switch (msg) {
    case BM_GETCHECK: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        return w ? w->check : 0;
    }
    case BM_SETCHECK:
        SetCheckState(hwnd, static_cast<int>(wParam));
        return 0;
    case BM_GETSTATE: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return 0;
        return w->check | (S().focus == hwnd ? BST_FOCUS : 0);
    }
    case BM_SETSTYLE: {
        {
            auto lock = Locked();
            Window* w = FindLocked(hwnd);
            if (!w) return 0;
            w->style = (w->style & ~0xFFFFu) | LOWORD(wParam);
        }
        NotifyChanged(hwnd, kChangeStyle);
        return 0;
    }
    case BM_CLICK:
        Click(hwnd);
        return 0;
    case WM_SETFOCUS:
        if (StyleOf(hwnd) & BS_NOTIFY) NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (StyleOf(hwnd) & BS_NOTIFY) NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleFont(hwnd, msg, wParam, &result)) return result;
    switch (msg) {
    case STM_SETICON: {
        HICON old;
        {
            auto lock = Locked();
            Window* w = FindLocked(hwnd);
            if (!w) return 0;
            old = std::exchange(w->icon, reinterpret_cast<HICON>(wParam));
            // An icon static takes the icon's size.
            auto it = S().icons.find(reinterpret_cast<void*>(wParam));
            if (it != S().icons.end() && (w->style & SS_TYPEMASK) == SS_ICON &&
                !(w->style & SS_CENTERIMAGE)) {
                w->rect.right = w->rect.left + it->second.info.cx;
                w->rect.bottom = w->rect.top + it->second.info.cy;
            }
        }
        NotifyChanged(hwnd, kChangeIcon | kChangeGeometry);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        return w ? reinterpret_cast<LRESULT>(w->icon) : 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleFont(hwnd, msg, wParam, &result)) return result;
    switch (msg) {
    case WM_SETTEXT: {
        // Text set by a program still notifies (single-line edits only), and ignores the limit.
        ReplaceEditText(hwnd, CopyString(reinterpret_cast<LPCWSTR>(lParam)), !(StyleOf(hwnd) & ES_MULTILINE));
        return TRUE;
    }
    case WM_CHAR:
        return TypeChar(hwnd, static_cast<char16_t>(wParam));
    case EM_LIMITTEXT: {
        auto lock = Locked();
        if (Window* w = FindLocked(hwnd)) w->limit = wParam ? static_cast<UINT>(wParam) : 0x7FFFFFFE;
        return 0;
    }
    case EM_GETLIMITTEXT: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        return w ? static_cast<LRESULT>(w->limit) : 0;
    }
    case EM_SETSEL: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return 0;
        auto start = static_cast<INT_PTR>(wParam);
        auto end = static_cast<INT_PTR>(lParam);
        w->selectAll = start == 0 && (end == -1 || end >= static_cast<INT_PTR>(w->text.size()));
        return 0;
    }
    case EM_GETSEL: {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return 0;
        auto len = static_cast<WORD>(w->text.size());
        return w->selectAll ? MAKELRESULT(0, len) : MAKELRESULT(len, len);
    }
    case EM_SETREADONLY: {
        {
            auto lock = Locked();
            Window* w = FindLocked(hwnd);
            if (!w) return FALSE;
            if (wParam)
                w->style |= ES_READONLY;
            else
                w->style &= ~static_cast<DWORD>(ES_READONLY);
        }
        NotifyChanged(hwnd, kChangeStyle);
        return TRUE;
    }
    case WM_SETFOCUS:
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleFont(hwnd, msg, wParam, &result)) return result;
    unsigned changes = 0;
    switch (msg) {
    case WM_SETFOCUS:
        NotifyParent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(hwnd, CBN_KILLFOCUS);
        return 0;
    default:
        break;
    }
    {
        auto lock = Locked();
        Window* w = FindLocked(hwnd);
        if (!w) return CB_ERR;
        int count = static_cast<int>(w->items.size());
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        bool valid = index >= 0 && index < count;
        switch (msg) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING:
            result = ComboInsert(*w, msg == CB_ADDSTRING ? -1 : index,
                                 CopyString(reinterpret_cast<LPCWSTR>(lParam)));
            changes = kChangeItems | kChangeSelection;
            break;
        case CB_DELETESTRING:
            if (!valid) return CB_ERR;
            w->items.erase(w->items.begin() + index);
            if (w->curSel == index)
                w->curSel = CB_ERR;
            else if (w->curSel > index)
                --w->curSel;
            result = count - 1;
            changes = kChangeItems | kChangeSelection;
            break;
        case CB_RESETCONTENT:
            w->items.clear();
            w->curSel = CB_ERR;
            result = CB_OKAY;
            changes = kChangeItems | kChangeSelection;
            break;
        case CB_GETCOUNT:
            return count;
        case CB_GETCURSEL:
            return w->curSel;
        case CB_SETCURSEL:
            // Selection by a program sends no notification.
            w->curSel = valid ? index : CB_ERR;
            result = valid ? index : CB_ERR;
            changes = kChangeSelection;
            break;
        case CB_GETLBTEXT: {
            if (!valid) return CB_ERR;
            const std::u16string& t = w->items[index].text;
            if (auto* out = reinterpret_cast<LPWSTR>(lParam)) {
                std::copy(t.begin(), t.end(), out);
                out[t.size()] = 0;
            }
            return static_cast<LRESULT>(t.size());
        }
        case CB_GETLBTEXTLEN:
            return valid ? static_cast<LRESULT>(w->items[index].text.size()) : CB_ERR;
        case CB_SETITEMDATA:
            if (!valid) return CB_ERR;
            w->items[index].data = lParam;
            return TRUE;
        case CB_GETITEMDATA:
            return valid ? w->items[index].data : CB_ERR;
        case CB_FINDSTRING:
        case CB_FINDSTRINGEXACT:
            return ComboFind(*w, index, CopyString(reinterpret_cast<LPCWSTR>(lParam)),
                             msg == CB_FINDSTRINGEXACT);
        case CB_SELECTSTRING: {
            int found = ComboFind(*w, index, CopyString(reinterpret_cast<LPCWSTR>(lParam)), false);
            if (found == CB_ERR) return CB_ERR;
            w->curSel = found;
            result = found;
            changes = kChangeSelection;
            break;
        }
        case CB_SHOWDROPDOWN:
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return FALSE;
        case CB_GETDROPPEDCONTROLRECT: {
            if (auto* r = reinterpret_cast<RECT*>(lParam)) {
                *r = w->rect;
                r->bottom =
                    r->top + std::max(w->droppedHeight, static_cast<int>(w->rect.bottom - w->rect.top));
            }
            return CB_OKAY;
        }
        case WM_SETTEXT: {
            // A drop-down list shows only its items: setting text selects the matching one.
            int found = ComboFind(*w, -1, CopyString(reinterpret_cast<LPCWSTR>(lParam)), true);
            if (found == CB_ERR) return CB_ERR;
            w->curSel = found;
            result = TRUE;
            changes = kChangeSelection;
            break;
        }
        case WM_GETTEXT: {
            std::u16string_view t = w->curSel >= 0 ? std::u16string_view(w->items[w->curSel].text) : u"";
            return CopyToBuffer(t, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
        }
        case WM_GETTEXTLENGTH:
            return w->curSel >= 0 ? static_cast<LRESULT>(w->items[w->curSel].text.size()) : 0;
        default:
            break;
        }
    }
    if (changes) {
        NotifyChanged(hwnd, changes);
        return result;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace host::ui
