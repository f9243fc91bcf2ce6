// Helpers for tests that load the test plug-ins by class id.
#pragma once

#include "framework/tests/test_plugin_ids.h"
#include "plat/com.h"
#include "plat/registry.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <string>

namespace testing_support {

inline std::string RealPath(const char* path) {
    char full[PATH_MAX];
    return realpath(path, full) ? full : path;
}

inline std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

inline std::u16string GuidText(REFGUID g) {
    OLECHAR buf[GUID_STRING_CHARS];
    StringFromGUID2(g, buf, GUID_STRING_CHARS);
    return buf;
}

// Files a class under a module in the registry, as registration would.
inline LONG FileClass(REFCLSID clsid, const std::string& modulePath) {
    std::u16string key = u"CLSID\\" + GuidText(clsid) + u"\\InprocServer32";
    HKEY h = nullptr;
    LONG err = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    if (err != ERROR_SUCCESS) return err;
    std::u16string path = Wide(modulePath);
    err = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                         DWORD((path.size() + 1) * 2));
    RegCloseKey(h);
    return err;
}

inline bool IsLoaded(const char* path) {
    void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

// A function of a module that the runtime already holds open; null when it is not loaded.
template <class Fn> Fn* LoadedSymbol(const char* path, const char* name) {
    void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!h) return nullptr;
    void* sym = dlsym(h, name);
    dlclose(h); // the runtime's own reference keeps it mapped
    return reinterpret_cast<Fn*>(sym);
}

inline HRESULT CanUnloadNow(const char* path) {
    auto* fn = LoadedSymbol<HRESULT()>(path, "DllCanUnloadNow");
    return fn ? fn() : E_FAIL;
}

inline LONG ObjectsActive(const char* path) {
    auto* fn = LoadedSymbol<LONG()>(path, "YraTestObjectsActive");
    return fn ? fn() : -1;
}

} // namespace testing_support
