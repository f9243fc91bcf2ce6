#include "sheet_controls.h"

#include "host/ui_core.h"

#include <algorithm>
#include <cctype>

namespace propsheet {
namespace {

using host::ui::WindowInfo;

std::string Plain(const std::u16string& text) {
    std::string out;
    std::string utf8 = host::ui::Utf8(text);
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '&' && i + 1 < utf8.size() && utf8[i + 1] != '&') continue;
        out += utf8[i];
    }
    return out;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

bool IsGroupBox(const WindowInfo& w) {
    return w.kind == host::ui::Kind::Button && (w.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool IsRadio(const WindowInfo& w) {
    DWORD type = w.style & BS_TYPEMASK;
    return w.kind == host::ui::Kind::Button && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

bool IsCheckBox(const WindowInfo& w) {
    DWORD type = w.style & BS_TYPEMASK;
    return w.kind == host::ui::Kind::Button &&
           (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE);
}

// The smallest group box around a control.
const WindowInfo* EnclosingGroup(const std::vector<WindowInfo>& all, const RECT& r) {
    const WindowInfo* best = nullptr;
    for (const WindowInfo& w : all)
        if (IsGroupBox(w) && Inside(r, w.window) && (!best || w.width() * w.height() < best->width() * best->height()))
            best = &w;
    return best;
}

// The label on the control's left in the same row and group box (labels may reach into the
// field they name), else the group box around it.
std::string LabelOf(const std::vector<WindowInfo>& all, const WindowInfo& control) {
    const WindowInfo* group = EnclosingGroup(all, control.window);
    const WindowInfo* label = nullptr;
    LONG middle = (control.window.top + control.window.bottom) / 2;
    for (const WindowInfo& w : all) {
        if (w.kind != host::ui::Kind::Static || w.text.empty()) continue;
        bool sameRow = w.window.top <= middle + 4 && w.window.bottom >= middle - 4;
        bool onTheLeft = w.window.left < control.window.left;
        if (sameRow && onTheLeft && EnclosingGroup(all, w.window) == group &&
            (!label || w.window.left > label->window.left))
            label = &w;
    }
    if (label) return Plain(label->text);
    if (group) return Plain(group->text);
    return "control " + std::to_string(control.id);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::vector<Control> DescribePage(HWND page) {
    std::vector<WindowInfo> all;
    for (HWND child : host::ui::ChildWindows(page)) {
        WindowInfo info;
        if (host::ui::GetWindowInfo(child, &info)) all.push_back(info);
    }
    std::vector<Control> controls;
    for (const WindowInfo& w : all) {
        Control c;
        c.id = w.id;
        c.window = w.hwnd;
        if (w.kind == host::ui::Kind::Edit) {
            c.kind = Control::Kind::Field;
            c.name = LabelOf(all, w);
            c.value = host::ui::Utf8(w.text);
        } else if (w.kind == host::ui::Kind::ComboBox) {
            c.kind = Control::Kind::List;
            c.name = LabelOf(all, w);
            c.value = w.curSel >= 0 && w.curSel < static_cast<int>(w.items.size())
                          ? host::ui::Utf8(w.items[w.curSel].text)
                          : "";
            for (const auto& item : w.items) c.choices.push_back(host::ui::Utf8(item.text));
        } else if (IsCheckBox(w)) {
            c.kind = Control::Kind::CheckBox;
            c.name = Plain(w.text);
            c.value = w.check == BST_CHECKED ? "on" : "off";
        } else if (IsGroupBox(w)) {
            // A group box that holds radio buttons is one choice.
            c.kind = Control::Kind::Choice;
            c.name = Plain(w.text);
            for (const WindowInfo& b : all) {
                if (!IsRadio(b) || EnclosingGroup(all, b.window) != &w) continue;
                c.buttons.push_back(b.hwnd);
                c.choices.push_back(Plain(b.text) + (b.enabled() ? "" : " (disabled)"));
                if (b.check == BST_CHECKED) c.value = Plain(b.text);
            }
            if (c.buttons.empty()) continue;
            if (c.value.empty()) c.value = "(none)";
        } else {
            continue;
        }
        controls.push_back(c);
    }
    return controls;
}

std::string SetControl(const Control& control, const std::string& value) {
    switch (control.kind) {
    case Control::Kind::Field:
        if (!host::ui::UserFocus(control.window) || !host::ui::UserSetEditText(control.window, host::ui::Utf16(value)))
            return "the field cannot be edited";
        return "";
    case Control::Kind::CheckBox: {
        bool on = SameText(value, "on") || value == "1";
        if (!on && !SameText(value, "off") && value != "0") return "give on or off";
        WindowInfo info;
        host::ui::GetWindowInfo(control.window, &info);
        if ((info.check == BST_CHECKED) != on && !host::ui::UserClick(control.window))
            return "the check box cannot be changed";
        return "";
    }
    case Control::Kind::List:
        for (size_t i = 0; i < control.choices.size(); ++i)
            if (SameText(control.choices[i], value))
                return host::ui::UserSelect(control.window, static_cast<int>(i)) ? "" : "the list cannot be changed";
        return "no such entry";
    case Control::Kind::Choice:
        for (HWND button : control.buttons) {
            WindowInfo info;
            host::ui::GetWindowInfo(button, &info);
            if (!SameText(Plain(info.text), value)) continue;
            if (!info.enabled()) return "\"" + value + "\" cannot be chosen (disabled)";
            return host::ui::UserClick(button) ? "" : "the button cannot be clicked";
        }
        return "no such choice";
    }
    return "unknown control";
}

} // namespace propsheet
