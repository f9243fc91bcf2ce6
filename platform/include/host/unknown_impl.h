// IUnknown for a host object that answers IUnknown and one interface I and cannot be
// aggregated: the query, counting and deletion every such object needs, written once.
#pragma once

#include "plat/unknown.h"

#include <atomic>

namespace host {

template <class I> class UnknownImpl : public I {
public:
    explicit UnknownImpl(REFIID iid) : m_iid(iid) {}
    virtual ~UnknownImpl() = default;

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

private:
    const IID m_iid;
    std::atomic<ULONG> m_refs{0};
};

} // namespace host
