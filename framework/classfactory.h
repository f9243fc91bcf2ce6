// The class factory, its template table, and the plug-in entry points built on them.
#pragma once

#include "framework/combase.h"

using LPFNNewCOMObject = CUnknown* (*)(LPUNKNOWN pUnkOuter, HRESULT* phr);
using LPFNInitRoutine = void (*)(BOOL bLoading, const CLSID* rclsid);

// One row of a plug-in's g_FactoryTemplates: which class it makes and how.
struct FactoryTemplate {
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID rclsid) const { return *m_ClsID == rclsid; }
    CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) const { return m_lpfnNew(pUnk, phr); }
};

// Supplied by each plug-in.
extern const FactoryTemplate g_FactoryTemplates[];
extern const int g_cTemplates;

// Module facts recorded by the load notification.
extern HINSTANCE g_hInst;
extern DWORD g_amPlatform;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

class CClassFactory final : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const FactoryTemplate* pTemplate);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) override;
    HRESULT LockServer(BOOL fLock) override;

    static BOOL IsLocked() { return __atomic_load_n(&m_cLocked, __ATOMIC_SEQ_CST) > 0; }

private:
    const FactoryTemplate* const m_pTemplate;
    volatile LONG m_cRef = 0;
    static LONG m_cLocked;
};

#define YRA_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

YRA_PLUGIN_EXPORT HRESULT DllGetClassObject(REFCLSID rClsID, REFIID riid, void** pv);
YRA_PLUGIN_EXPORT HRESULT DllCanUnloadNow();
// Each plug-in defines these two itself.
YRA_PLUGIN_EXPORT HRESULT DllRegisterServer();
YRA_PLUGIN_EXPORT HRESULT DllUnregisterServer();
