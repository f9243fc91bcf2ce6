// The component runtime calls: thread initialisation, creation by class id, task memory,
// GUID text, BSTR and VARIANT basics.
#pragma once

#include "plat/unknown.h"

enum COINIT : DWORD {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
};
enum CLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_INPROC = 0x3,
    CLSCTX_ALL = 0x17,
};

#define YRA_PLATFORM_API extern "C" __attribute__((visibility("default")))

YRA_PLATFORM_API HRESULT CoInitialize(LPVOID pvReserved);
YRA_PLATFORM_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
YRA_PLATFORM_API void CoUninitialize();
YRA_PLATFORM_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                          LPVOID* ppv);
YRA_PLATFORM_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                                          LPVOID* ppv);
YRA_PLATFORM_API void CoFreeUnusedLibraries();
YRA_PLATFORM_API LPVOID CoTaskMemAlloc(SIZE_T cb);
YRA_PLATFORM_API LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
YRA_PLATFORM_API void CoTaskMemFree(LPVOID pv);

// GUID text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". StringFromGUID2 returns the characters
// written including the terminator, or 0 when cchMax is too small.
YRA_PLATFORM_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
YRA_PLATFORM_API HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
YRA_PLATFORM_API HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
YRA_PLATFORM_API HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);

YRA_PLATFORM_API BSTR SysAllocString(const OLECHAR* psz);
YRA_PLATFORM_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
YRA_PLATFORM_API void SysFreeString(BSTR bstr);
YRA_PLATFORM_API UINT SysStringLen(BSTR bstr);
YRA_PLATFORM_API void VariantInit(VARIANT* pvarg);
YRA_PLATFORM_API HRESULT VariantClear(VARIANT* pvarg);
YRA_PLATFORM_API HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);
