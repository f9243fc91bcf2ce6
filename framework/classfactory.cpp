#include "framework/classfactory.h"

#include "plat/kernel.h"

#include <new>

HINSTANCE g_hInst = nullptr;
DWORD g_amPlatform = 0;
LONG CClassFactory::m_cLocked = 0;

CClassFactory::CClassFactory(const FactoryTemplate* pTemplate) : CBaseObject(u"Class Factory"), m_pTemplate(pTemplate) {}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG CClassFactory::Release() {
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(lRef);
}

HRESULT CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) {
    if (!pv) return E_POINTER;
    *pv = nullptr;
    // An aggregating owner must hold our identity, so it may only ask for IUnknown.
    if (pUnkOuter && riid != IID_IUnknown) return E_NOINTERFACE;
    // A template without a creation hook only registers its class; it makes no objects.
    if (!m_pTemplate->m_lpfnNew) return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT hr = S_OK;
    CUnknown* pObj = m_pTemplate->CreateInstance(pUnkOuter, &hr);
    if (!pObj) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pObj;
        return hr;
    }
    // The temporary reference makes a refused interface destroy the new object.
    pObj->NonDelegatingAddRef();
    hr = pObj->NonDelegatingQueryInterface(riid, pv);
    pObj->NonDelegatingRelease();
    return hr;
}

HRESULT CClassFactory::LockServer(BOOL fLock) {
    if (fLock) InterlockedIncrement(&m_cLocked);
    else InterlockedDecrement(&m_cLocked);
    return S_OK;
}

HRESULT DllGetClassObject(REFCLSID rClsID, REFIID riid, void** pv) {
    if (!pv) return E_POINTER;
    *pv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        const FactoryTemplate* pT = &g_FactoryTemplates[i];
        if (!pT->IsClassID(rClsID)) continue;
        auto* pFactory = new (std::nothrow) CClassFactory(pT);
        if (!pFactory) return E_OUTOFMEMORY;
        pFactory->AddRef();
        *pv = static_cast<IClassFactory*>(pFactory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() { return (CClassFactory::IsLocked() || CBaseObject::ObjectsActive() > 0) ? S_FALSE : S_OK; }

namespace {

void CallInitHooks(BOOL bLoading) {
    for (int i = 0; i < g_cTemplates; ++i) {
        const FactoryTemplate& t = g_FactoryTemplates[i];
        if (t.m_lpfnInit) t.m_lpfnInit(bLoading, t.m_ClsID);
    }
}

// The module's load notification. The handle is the one the loader gives the module that holds
// this code, so resources and the module's path can be found from it.
__attribute__((constructor)) void OnModuleLoad() {
    HMODULE hModule = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&DllGetClassObject), &hModule))
        g_hInst = hModule;
    g_amPlatform = VER_PLATFORM_WIN32_NT;
    CallInitHooks(TRUE);
}

__attribute__((destructor)) void OnModuleUnload() { CallInitHooks(FALSE); }

} // namespace
