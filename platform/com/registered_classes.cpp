// Classes served by plug-in modules named in the registry under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32. A module stays open once it has served a
// class, until the process ends.
#include "class_lookup.h"
#include "host/module_loader.h"
#include "host/utf.h"
#include "plat/com.h"
#include "plat/registry.h"

#include <dlfcn.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <list>

namespace host {
namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

struct Module {
    void* handle;
    GetClassObjectFn getClassObject;
};

// Recursive: a module's load hook or factory may itself create classes by id.
std::recursive_mutex g_lock;
std::list<Module> g_modules;
thread_local std::string t_loadError;

// The module path the registry names for a class.
HRESULT ServerPath(REFCLSID rclsid, std::string* path) {
    WCHAR key[80] = u"CLSID\\";
    StringFromGUID2(rclsid, key + 6, GUID_STRING_CHARS);
    std::u16string subKey = std::u16string(key) + u"\\InprocServer32";
    HKEY hKey = nullptr;
    LONG err = RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &hKey);
    if (err == ERROR_FILE_NOT_FOUND) return REGDB_E_CLASSNOTREG;
    if (err != ERROR_SUCCESS) return REGDB_E_READREGDB;
    DWORD type = 0, size = 0;
    err = RegQueryValueExW(hKey, nullptr, nullptr, &type, nullptr, &size);
    std::u16string value(size / sizeof(WCHAR), u'\0');
    if (err == ERROR_SUCCESS && size)
        err = RegQueryValueExW(hKey, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(hKey);
    if (err == ERROR_FILE_NOT_FOUND || (err == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ))
        return REGDB_E_CLASSNOTREG;
    if (err != ERROR_SUCCESS) return REGDB_E_READREGDB;
    value.resize(size / sizeof(WCHAR));
    while (!value.empty() && value.back() == 0) value.pop_back();
    if (value.empty()) return REGDB_E_CLASSNOTREG;
    *path = Utf8FromWide(value);
    return S_OK;
}

// Opens (or finds) the module; RTLD_LOCAL keeps two plug-ins' framework copies apart.
HRESULT OpenModule(const std::string& path, Module** module) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        t_loadError = why ? why : path + ": cannot open module";
        // A file that is there but cannot be loaded is not a missing module.
        bool present = path.find('/') != std::string::npos && ::access(path.c_str(), F_OK) == 0;
        return HRESULT_FROM_WIN32(present ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    }
    for (Module& m : g_modules) {
        if (m.handle != handle) continue;
        ::dlclose(handle); // drop the extra reference this dlopen took
        *module = &m;
        return S_OK;
    }
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        t_loadError = path + ": module does not export DllGetClassObject";
        ::dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    g_modules.push_back(Module{handle, getClassObject});
    *module = &g_modules.back();
    return S_OK;
}

} // namespace

HRESULT GetRegisteredClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    *ppv = nullptr;
    std::string path;
    if (HRESULT hr = ServerPath(rclsid, &path); FAILED(hr)) return hr;
    // Held across the call: a module's load hook or factory may create classes too, and two
    // threads opening one module keep one cache entry.
    std::lock_guard<std::recursive_mutex> hold(g_lock);
    Module* module = nullptr;
    if (HRESULT hr = OpenModule(path, &module); FAILED(hr)) return hr;
    return module->getClassObject(rclsid, riid, ppv);
}

std::string LastModuleLoadError() { return t_loadError; }

} // namespace host
