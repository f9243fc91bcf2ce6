// What a person does, turned into the messages the platform's controls send. Both drivers
// come through here: the headless scripting API and the Qt widgets' signals.
#include "state.h"

namespace host::ui {
namespace {

bool Usable(HWND hwnd, Kind kind) {
    WindowInfo info;
    return GetWindowInfo(hwnd, &info) && info.kind == kind && IsWindowEnabled(hwnd) && IsWindowVisible(hwnd);
}

} // namespace

bool UserClick(HWND button) {
    if (!Usable(button, Kind::Button)) return false;
    if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

bool UserFocus(HWND window) {
    WindowInfo info;
    if (!GetWindowInfo(window, &info) || !IsWindowEnabled(window) || !IsWindowVisible(window)) return false;
    SetFocus(window);
    return true;
}

bool UserType(HWND edit, std::u16string_view text) {
    if (!Usable(edit, Kind::Edit)) return false;
    if (GetFocus() != edit) SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    if (text.empty()) {
        SendMessageW(edit, WM_CHAR, 0x08, 0);
        return true;
    }
    for (char16_t c : text)
        SendMessageW(edit, WM_CHAR, c, 0);
    return true;
}

bool UserSetEditText(HWND edit, std::u16string_view text) {
    if (!Usable(edit, Kind::Edit)) return false;
    WindowInfo info;
    GetWindowInfo(edit, &info);
    if (info.style & ES_READONLY) return false;
    std::u16string cut(text.substr(0, info.limit));
    if (cut == info.text) return true;
    {
        auto lock = Locked();
        Window* w = FindLocked(edit);
        if (!w) return false;
        w->text = cut;
        w->selectAll = false;
    }
    NotifyChanged(edit, kChangeText);
    NotifyParent(edit, EN_UPDATE);
    NotifyParent(edit, EN_CHANGE);
    return true;
}

bool UserSelect(HWND combo, int index) {
    if (!Usable(combo, Kind::ComboBox)) return false;
    if (index < 0 || index >= static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0))) return false;
    if (GetFocus() != combo) SetFocus(combo);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    NotifyParent(combo, CBN_SELCHANGE);
    return true;
}

bool UserClose(HWND window) {
    if (!IsWindow(window)) return false;
    SendMessageW(window, WM_CLOSE, 0, 0);
    return true;
}

bool UserPressEnter(HWND dlg) {
    if (!IsWindow(dlg) || !IsWindowEnabled(dlg)) return false;
    LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    HWND button = GetDlgItem(dlg, id);
    if (button && !IsWindowEnabled(button)) return false;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

bool UserPressEscape(HWND dlg) {
    if (!IsWindow(dlg) || !IsWindowEnabled(dlg)) return false;
    HWND button = GetDlgItem(dlg, IDCANCEL);
    if (button && !IsWindowEnabled(button)) return false;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

bool UserSetMinimized(HWND window, bool minimized) {
    if (!IsWindow(window)) return false;
    if (static_cast<bool>(IsIconic(window)) == minimized) return true;
    ShowWindow(window, minimized ? SW_MINIMIZE : SW_RESTORE);
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

void UserPaint(HWND window) {
    if (IsWindow(window)) SendMessageW(window, WM_PAINT, 0, 0);
}

} // namespace host::ui
