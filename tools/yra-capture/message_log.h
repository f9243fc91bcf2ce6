// Every message box the program raises, printed to stderr as it appears and answered as a
// person running a script would: OK, and Yes to overwriting a file named on the command line.
#pragma once

#include <string>

namespace capture_tool {

void InstallMessageBoxPrinter();
// Whether any box so far carried the error icon.
bool ErrorBoxSeen();
// Boxes raised so far (all, and those with the error icon), and the last one's text on one
// line: what an action's failure is explained by.
int BoxesShown();
int ErrorBoxesShown();
std::string LastBoxText();

} // namespace capture_tool
