// Host-side facts about the registry store, for tools and tests.
#pragma once

#include "plat/registry.h"

#include <string>

namespace host {

// The file that holds a predefined key's hive, or "" for any other handle and when there is no
// host root (see host/host_root.h).
std::string RegistryHivePath(HKEY hPredefined);
// What went wrong the last time this thread failed to load or store a hive: the file, the
// line for a corrupt file, and the system's reason. Empty when nothing failed yet.
std::string RegistryLastError();

} // namespace host
