// The reference counting and interface answer both filter mappers share.
#pragma once

#include "plat/unknown.h"

#include <atomic>
#include <new>

namespace host {

// An object that answers IUnknown and one interface I (with id `iid`), and cannot be
// aggregated.
template <class I> class MapperObject : public I {
public:
    explicit MapperObject(REFIID iid) : m_iid(iid) {}
    virtual ~MapperObject() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != m_iid) return E_NOINTERFACE;
        *ppv = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

    template <class T> static HRESULT Create(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        T* object = new (std::nothrow) T();
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

private:
    const IID m_iid;
    std::atomic<ULONG> m_refs{0};
};

} // namespace host
