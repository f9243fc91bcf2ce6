// Where the host keeps its state on disk (registry hives, device list): $YRA_HOST_ROOT, else
// $XDG_DATA_HOME/yra-host, else ~/.local/share/yra-host. Read on every call, so a process
// (or a test) that changes the variable moves to the new root at once.
#pragma once

#include <string>

namespace host {

std::string HostRootPath();
// Creates the directory and its parents; false with errno set when that fails.
bool MakeDirectories(const std::string& path);

} // namespace host
