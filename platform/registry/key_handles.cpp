#include "key_handles.h"

#include <mutex>
#include <unordered_map>

namespace host::reg {
namespace {

std::mutex g_lock;
std::unordered_map<uintptr_t, OpenKey> g_handles;
// Handle values are small even numbers that never look like the predefined keys.
uintptr_t g_next = 0x1000;

} // namespace

bool PredefinedHive(HKEY hKey, HiveId* hive) {
    if (hKey == HKEY_CLASSES_ROOT) *hive = HiveId::ClassesRoot;
    else if (hKey == HKEY_CURRENT_USER) *hive = HiveId::CurrentUser;
    else if (hKey == HKEY_LOCAL_MACHINE) *hive = HiveId::LocalMachine;
    else return false;
    return true;
}

LONG ResolveHandle(HKEY hKey, OpenKey* key) {
    HiveId hive{};
    if (PredefinedHive(hKey, &hive)) {
        *key = OpenKey{hive, {}, KEY_ALL_ACCESS, true};
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
    *key = it->second;
    return ERROR_SUCCESS;
}

HKEY AddHandle(OpenKey key) {
    std::lock_guard<std::mutex> hold(g_lock);
    uintptr_t id = g_next;
    g_next += 4;
    g_handles.emplace(id, std::move(key));
    return reinterpret_cast<HKEY>(id);
}

bool RemoveHandle(HKEY hKey) {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_handles.erase(reinterpret_cast<uintptr_t>(hKey)) == 1;
}

} // namespace host::reg
