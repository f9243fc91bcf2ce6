// A page's controls as a person reads them: a field named by its label (or its group box), a
// group of radio buttons named by its group box with the checked button's text as its value.
#pragma once

#include "plat/ui.h"

#include <string>
#include <vector>

namespace propsheet {

struct Control {
    enum class Kind { Field, Choice, CheckBox, List };
    Kind kind = Kind::Field;
    std::string name;
    std::string value;
    int id = 0;
    HWND window = nullptr;            // the field, check box or list; the group box of a choice
    std::vector<HWND> buttons;        // a choice's radio buttons
    std::vector<std::string> choices; // their texts, "(disabled)" marked
};

std::vector<Control> DescribePage(HWND page);

// Changes a control as a person would. Returns "" on success, else what went wrong.
std::string SetControl(const Control& control, const std::string& value);

} // namespace propsheet
