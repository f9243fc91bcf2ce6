// Open key handles. A handle names a key by hive and path, not by a node in memory, because
// the hive may be reloaded from disk between two calls.
#pragma once

#include "hive_store.h"
#include "plat/registry.h"

namespace host::reg {

struct OpenKey {
    HiveId hive = HiveId::ClassesRoot;
    Path path;
    REGSAM access = 0;
    bool predefined = false;
};

// ERROR_INVALID_HANDLE for a handle that is neither predefined nor open.
LONG ResolveHandle(HKEY hKey, OpenKey* key);
HKEY AddHandle(OpenKey key);
bool RemoveHandle(HKEY hKey);
bool PredefinedHive(HKEY hKey, HiveId* hive);

} // namespace host::reg
