// What yra-capture does in the program's main dialog, through the same clicks and choices a
// person would make. Each action reports its own failure on stderr and returns false.
#pragma once

#include "options.h"

#include "plat/ui.h"

#include <string>

namespace capture_tool {

// The title and one line per row: number, label, and the state of Set, Start and Stop.
void ListRows(HWND dlg);
bool ApplySettings(HWND dlg, const SettingsRequest& request);
// Presses Start and answers the file dialog with `path` (absolute). True when the row records,
// with the file the recording goes to (the dialog may have changed the name) in `recorded`.
bool StartRow(HWND dlg, int row, const std::string& path, std::string* recorded);
bool StopRow(HWND dlg, int row);

} // namespace capture_tool
