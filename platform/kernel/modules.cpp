// Module handles and file names, and the thread's last error. A module handle is the module's
// load address, which is what the dynamic linker reports as an object's base.
#include "plat/kernel.h"

#include "host/utf.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

BOOL Fail(DWORD dwError) {
    t_dwLastError = dwError;
    return FALSE;
}

// The canonical path of the object loaded at `hModule` (the program for null), as bytes.
bool ModulePath(HMODULE hModule, std::string& path) {
    std::string raw;
    if (!hModule) {
        char buffer[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer));
        if (n <= 0 || n >= static_cast<ssize_t>(sizeof(buffer))) return false;
        raw.assign(buffer, static_cast<size_t>(n));
    } else {
        Dl_info info{};
        if (!::dladdr(hModule, &info) || info.dli_fbase != static_cast<void*>(hModule) || !info.dli_fname ||
            !*info.dli_fname)
            return false;
        raw = info.dli_fname;
    }
    char achFull[PATH_MAX];
    path = ::realpath(raw.c_str(), achFull) ? achFull : raw;
    return true;
}

} // namespace

DWORD GetLastError() {
    return t_dwLastError;
}

void SetLastError(DWORD dwErrCode) {
    t_dwLastError = dwErrCode;
}

BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule) {
    if (!phModule) return Fail(ERROR_INVALID_PARAMETER);
    *phModule = nullptr;
    if ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
        HMODULE hModule = GetModuleHandleW(lpModuleName);
        if (!hModule) return Fail(ERROR_MOD_NOT_FOUND);
        *phModule = hModule;
        return TRUE;
    }
    Dl_info info{};
    if (!lpModuleName || !::dladdr(lpModuleName, &info) || !info.dli_fbase) return Fail(ERROR_MOD_NOT_FOUND);
    // A counted reference keeps the module loaded; with no FreeLibrary here it is never given
    // back, which is the platform's pinning.
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && info.dli_fname)
        ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    *phModule = static_cast<HMODULE>(info.dli_fbase);
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::string path;
    if (!ModulePath(hModule, path)) return Fail(ERROR_MOD_NOT_FOUND);
    // The platform's names are UTF-16; a name whose bytes are not UTF-8 has no such form, and a
    // guessed one would name another file.
    std::u16string wide;
    if (!host::WideFromValidUtf8(path, wide)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (!lpFilename || nSize == 0) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (wide.size() >= nSize) {
        wide.copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = 0;
        t_dwLastError = ERROR_INSUFFICIENT_BUFFER;
        return nSize;
    }
    wide.copy(lpFilename, wide.size());
    lpFilename[wide.size()] = 0;
    t_dwLastError = ERROR_SUCCESS;
    return static_cast<DWORD>(wide.size());
}
