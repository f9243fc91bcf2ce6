#include "framework/combase.h"

LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(LPCWSTR) { InterlockedIncrement(&m_cObjects); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&m_cObjects); }

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk)
    : CBaseObject(pName), m_pUnknown(pUnk ? pUnk : GetNonDelegatingUnknown()) {}

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT*) : CUnknown(pName, pUnk) {}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        return GetInterface(GetNonDelegatingUnknown(), ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() {
    LONG lRef = InterlockedIncrement(&m_cRef);
    return static_cast<ULONG>(lRef > 1 ? lRef : 1);
}

ULONG CUnknown::NonDelegatingRelease() {
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        // Guards against a release from inside the destructor deleting the object twice.
        m_cRef = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(lRef > 1 ? lRef : 1);
}

HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
