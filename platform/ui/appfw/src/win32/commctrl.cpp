// The common controls' initialisation on the platform itself. The program uses only the system
// control classes, so the common controls library is loaded at run time when a program asks
// for it, rather than imported: the program then imports only the core libraries.
//
// This file speaks the platform's own headers, not the system's API headers, which declare the
// same calls with the platform's character types.
#include <windows.h>

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};

namespace {

using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

InitExFn LoadInitEx() {
    HMODULE hModule = ::LoadLibraryW(L"comctl32.dll");
    if (!hModule) return nullptr;
    return reinterpret_cast<InitExFn>(
        reinterpret_cast<void*>(::GetProcAddress(hModule, "InitCommonControlsEx")));
}

} // namespace

extern "C" BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    static const InitExFn pfnInitEx = LoadInitEx();
    return pfnInitEx ? pfnInitEx(picce) : FALSE;
}

extern "C" void InitCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0x000000FF};
    InitCommonControlsEx(&controls);
}
