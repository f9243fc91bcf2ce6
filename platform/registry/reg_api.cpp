// The Reg*W calls over the hive store.
#include "host/registry_store.h"
#include "key_handles.h"

#include <algorithm>
#include <cstring>

namespace host::reg {
namespace {

bool Allows(const OpenKey& key, REGSAM right) {
    return (key.access & MAXIMUM_ALLOWED) || (key.access & right) == right;
}

// The path of `sub` below `base`; refused when deeper than a hive may nest, as SplitPath
// refuses a sub-key argument alone.
LONG Join(const Path& base, const Path& sub, Path* full) {
    if (base.size() + sub.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    *full = base;
    full->insert(full->end(), sub.begin(), sub.end());
    return ERROR_SUCCESS;
}

std::u16string_view NameOf(const WCHAR* name) { return name ? std::u16string_view(name) : std::u16string_view(); }

// Copies a name into a caller's buffer of *cch characters, terminator included.
LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD cch) {
    if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    *cch = DWORD(name.size());
    return ERROR_SUCCESS;
}

// The query protocol: size only, or data into a buffer that must be large enough.
LONG CopyData(const Value& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType) *lpType = v.type;
    if (!lpcbData) return ERROR_SUCCESS;
    DWORD size = DWORD(v.data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size) std::memcpy(lpData, v.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// Runs `read` on the key a handle names; a key removed since it was opened is reported.
template <class Fn> LONG ReadKey(const OpenKey& key, Fn read) {
    return ReadHive(key.hive, [&](const Key& root) -> LONG {
        const Key* k = FindKey(root, key.path);
        return k ? read(*k) : ERROR_KEY_DELETED;
    });
}

template <class Fn> LONG ChangeKey(const OpenKey& key, Fn change) {
    return ChangeHive(key.hive, [&](Key& root, bool& changed) -> LONG {
        Key* k = FindKey(root, key.path);
        return k ? change(*k, changed) : ERROR_KEY_DELETED;
    });
}

} // namespace
} // namespace host::reg

using namespace host::reg;

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, LPSECURITY_ATTRIBUTES,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    if (LONG err = ResolveHandle(hKey, &base); err != ERROR_SUCCESS) return err;
    Path sub;
    if (LONG err = SplitPath(lpSubKey, &sub); err != ERROR_SUCCESS) return err;
    if (!sub.empty() && !Allows(base, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;

    Path full;
    if (LONG err = Join(base.path, sub, &full); err != ERROR_SUCCESS) return err;
    bool exists = false;
    // Opening an existing key needs no write, so it works on a read-only root as well.
    LONG err = ReadHive(base.hive, [&](const Key& root) -> LONG {
        if (!FindKey(root, base.path)) return ERROR_KEY_DELETED;
        exists = FindKey(root, full) != nullptr;
        return ERROR_SUCCESS;
    });
    if (err != ERROR_SUCCESS) return err;
    bool created = false;
    if (!exists) {
        err = ChangeHive(base.hive, [&](Key& root, bool& changed) -> LONG {
            if (!FindKey(root, base.path)) return ERROR_KEY_DELETED;
            CreateKey(root, full, &created);
            changed = created;
            return ERROR_SUCCESS;
        });
        if (err != ERROR_SUCCESS) return err;
    }
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = AddHandle(OpenKey{base.hive, std::move(full), samDesired, false});
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey base;
    if (LONG err = ResolveHandle(hKey, &base); err != ERROR_SUCCESS) return err;
    Path sub;
    if (LONG err = SplitPath(lpSubKey, &sub); err != ERROR_SUCCESS) return err;
    Path full;
    if (LONG err = Join(base.path, sub, &full); err != ERROR_SUCCESS) return err;
    LONG err = ReadHive(base.hive, [&](const Key& root) -> LONG {
        if (!FindKey(root, base.path)) return ERROR_KEY_DELETED;
        return FindKey(root, full) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (err != ERROR_SUCCESS) return err;
    *phkResult = AddHandle(OpenKey{base.hive, std::move(full), samDesired, false});
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    HiveId hive{};
    if (PredefinedHive(hKey, &hive)) return ERROR_SUCCESS;
    return RemoveHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    OpenKey key;
    if (LONG err = ResolveHandle(hKey, &key); err != ERROR_SUCCESS) return err;
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    return ChangeKey(key, [&](Key& k, bool& changed) -> LONG {
        changed = k.SetValue(NameOf(lpValueName), dwType, std::move(data));
        return ERROR_SUCCESS;
    });
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    OpenKey key;
    if (LONG err = ResolveHandle(hKey, &key); err != ERROR_SUCCESS) return err;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    return ReadKey(key, [&](const Key& k) -> LONG {
        const Value* v = k.FindValue(NameOf(lpValueName));
        return v ? CopyData(*v, lpType, lpData, lpcbData) : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    if (LONG err = ResolveHandle(hKey, &base); err != ERROR_SUCCESS) return err;
    Path sub;
    if (LONG err = SplitPath(lpSubKey, &sub); err != ERROR_SUCCESS) return err;
    Path full;
    if (LONG err = Join(base.path, sub, &full); err != ERROR_SUCCESS) return err;
    // The root of a hive cannot be deleted.
    if (full.empty()) return ERROR_ACCESS_DENIED;
    return ChangeHive(base.hive, [&](Key& root, bool& changed) -> LONG {
        if (!FindKey(root, base.path)) return ERROR_KEY_DELETED;
        Path parentPath(full.begin(), full.end() - 1);
        Key* parent = FindKey(root, parentPath);
        Key* target = parent ? parent->Child(full.back()) : nullptr;
        if (!target) return ERROR_FILE_NOT_FOUND;
        // The platform's registry refuses to delete a key that still has subkeys.
        if (!target->children.empty()) return ERROR_ACCESS_DENIED;
        parent->children.erase(FoldName(full.back()));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    OpenKey key;
    if (LONG err = ResolveHandle(hKey, &key); err != ERROR_SUCCESS) return err;
    if (!Allows(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return ChangeKey(key, [&](Key& k, bool& changed) -> LONG {
        changed = k.DeleteValue(NameOf(lpValueName));
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    OpenKey key;
    if (LONG err = ResolveHandle(hKey, &key); err != ERROR_SUCCESS) return err;
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    return ReadKey(key, [&](const Key& k) -> LONG {
        if (dwIndex >= k.children.size()) return ERROR_NO_MORE_ITEMS;
        auto it = std::next(k.children.begin(), dwIndex);
        if (LONG err = CopyName(it->second->name, lpName, lpcchName); err != ERROR_SUCCESS) return err;
        if (lpClass && lpcchClass && *lpcchClass) *lpClass = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) *lpftLastWriteTime = 0;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    OpenKey key;
    if (LONG err = ResolveHandle(hKey, &key); err != ERROR_SUCCESS) return err;
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    return ReadKey(key, [&](const Key& k) -> LONG {
        if (dwIndex >= k.values.size()) return ERROR_NO_MORE_ITEMS;
        const Value& v = k.values[dwIndex];
        if (LONG err = CopyName(v.name, lpValueName, lpcchValueName); err != ERROR_SUCCESS) return err;
        return CopyData(v, lpType, lpData, lpcbData);
    });
}

namespace host {

std::string RegistryHivePath(HKEY hPredefined) {
    HiveId hive{};
    return PredefinedHive(hPredefined, &hive) ? HiveFilePath(hive) : std::string();
}

} // namespace host
