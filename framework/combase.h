// The reference-counted object base every framework object stands on.
#pragma once

#include "plat/media.h"

// Interface of an object's own identity when it is aggregated: never forwarded to the owner.
struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};
using PNDUNKNOWN = INonDelegatingUnknown*;

// Counts the framework objects alive in this module, so DllCanUnloadNow knows when it is idle.
class CBaseObject {
public:
    explicit CBaseObject(LPCWSTR pName);
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject();

    static LONG ObjectsActive() { return __atomic_load_n(&m_cObjects, __ATOMIC_SEQ_CST); }

private:
    static LONG m_cObjects;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk);
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
    ~CUnknown() override = default;

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // The outer object when aggregated, else this object's own non-delegating interface.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }

    // This object's own identity as an IUnknown: what an aggregating owner holds and what a
    // query for IID_IUnknown answers. Its three methods are the non-delegating ones.
    LPUNKNOWN GetNonDelegatingUnknown() { return &m_Identity; }

protected:
    volatile LONG m_cRef = 0;

private:
    struct CIdentity final : IUnknown {
        explicit CIdentity(CUnknown* pObject) : m_pObject(pObject) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            return m_pObject->NonDelegatingQueryInterface(riid, ppv);
        }
        ULONG AddRef() override { return m_pObject->NonDelegatingAddRef(); }
        ULONG Release() override { return m_pObject->NonDelegatingRelease(); }
        CUnknown* const m_pObject;
    };

    CIdentity m_Identity{this};
    LPUNKNOWN const m_pUnknown;
};

// Hands out an interface with one reference added; the way every query answers.
HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv);

// The delegating IUnknown methods of a class: all three go to the owner.
#define DECLARE_IUNKNOWN                                                                                      \
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return GetOwner()->QueryInterface(riid, ppv); } \
    ULONG AddRef() override { return GetOwner()->AddRef(); }                                                   \
    ULONG Release() override { return GetOwner()->Release(); }
