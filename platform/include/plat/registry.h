// The system registry: hierarchical keys with typed values, as the platform's Reg*W calls
// expose it. Results are Win32 error codes (LONG), not HRESULTs.
#pragma once

#include "plat/types.h"

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using PFILETIME = ULONGLONG*;

// The predefined keys carry the platform's sign-extended values.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))))

// Value types.
#define REG_NONE 0ul
#define REG_SZ 1ul
#define REG_EXPAND_SZ 2ul
#define REG_BINARY 3ul
#define REG_DWORD 4ul
#define REG_MULTI_SZ 7ul
#define REG_QWORD 11ul

// Access rights of a key handle.
#define KEY_QUERY_VALUE 0x0001ul
#define KEY_SET_VALUE 0x0002ul
#define KEY_CREATE_SUB_KEY 0x0004ul
#define KEY_ENUMERATE_SUB_KEYS 0x0008ul
#define KEY_NOTIFY 0x0010ul
#define KEY_CREATE_LINK 0x0020ul
#define KEY_WOW64_64KEY 0x0100ul
#define KEY_WOW64_32KEY 0x0200ul
#define KEY_READ 0x00020019ul
#define KEY_WRITE 0x00020006ul
#define KEY_EXECUTE 0x00020019ul
#define KEY_ALL_ACCESS 0x000F003Ful
#define MAXIMUM_ALLOWED 0x02000000ul

// Creation options and dispositions.
#define REG_OPTION_NON_VOLATILE 0x0ul
#define REG_OPTION_VOLATILE 0x1ul
#define REG_CREATED_NEW_KEY 1ul
#define REG_OPENED_EXISTING_KEY 2ul

#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

#define YRA_REGISTRY_API extern "C" __attribute__((visibility("default")))

YRA_REGISTRY_API LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                         REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                         PHKEY phkResult, LPDWORD lpdwDisposition);
YRA_REGISTRY_API LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                       PHKEY phkResult);
YRA_REGISTRY_API LSTATUS RegCloseKey(HKEY hKey);
YRA_REGISTRY_API LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                        const BYTE* lpData, DWORD cbData);
YRA_REGISTRY_API LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                          LPBYTE lpData, LPDWORD lpcbData);
YRA_REGISTRY_API LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
YRA_REGISTRY_API LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
YRA_REGISTRY_API LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                       LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                       PFILETIME lpftLastWriteTime);
YRA_REGISTRY_API LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                       LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
