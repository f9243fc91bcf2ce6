// The platform's kernel calls the system uses beyond threads: a module's handle and file name,
// the thread's last error, and virtual memory. Names, values and behaviour are the platform's.
#pragma once

#include "plat/com.h"

#define MAX_PATH 260

#define ERROR_INVALID_ADDRESS 487L
#define ERROR_NO_UNICODE_TRANSLATION 1113L

// GetModuleHandleExW flags.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001ul
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002ul
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004ul

// VirtualAlloc / VirtualFree.
#define MEM_COMMIT 0x00001000ul
#define MEM_RESERVE 0x00002000ul
#define MEM_DECOMMIT 0x00004000ul
#define MEM_RELEASE 0x00008000ul
#define PAGE_NOACCESS 0x01ul
#define PAGE_READONLY 0x02ul
#define PAGE_READWRITE 0x04ul

YRA_PLATFORM_API DWORD GetLastError();
YRA_PLATFORM_API void SetLastError(DWORD dwErrCode);

YRA_PLATFORM_API HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is an address inside the module.
YRA_PLATFORM_API BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);
// Writes the module's full path. Returns its length without the terminator; a path that does
// not fit is cut to nSize - 1 characters, terminated, and nSize is returned with
// ERROR_INSUFFICIENT_BUFFER. 0 on failure, with the reason in GetLastError.
YRA_PLATFORM_API DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// Blocks start on the allocation granularity (64 KiB) and are zero-filled.
YRA_PLATFORM_API LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType,
                                     DWORD flProtect);
YRA_PLATFORM_API BOOL VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType);
