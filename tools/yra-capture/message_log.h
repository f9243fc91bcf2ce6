// Every message box the program raises, printed to stderr as it appears and answered as a
// person running a script would: OK, and Yes to overwriting a file named on the command line.
#pragma once

namespace capture_tool {

void InstallMessageBoxPrinter();
// Whether any box so far carried the error icon.
bool ErrorBoxSeen();

} // namespace capture_tool
