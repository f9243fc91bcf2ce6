// Where the host keeps its state on disk (registry hives, device list): $YRA_HOST_ROOT, else
// $XDG_DATA_HOME/yra-host, else ~/.local/share/yra-host. Read on every call, so a process
// (or a test) that changes the variable moves to the new root at once.
#pragma once

#include <string>

namespace host {

// Empty when none of the three variables is set: the host then keeps no state rather than
// writing it under the current folder. Callers refuse with HostRootProblem().
std::string HostRootPath();
// Why there is no host root, for messages; empty when there is one.
std::string HostRootProblem();
// Creates the directory and its parents; false with errno set when that fails.
bool MakeDirectories(const std::string& path);

} // namespace host
