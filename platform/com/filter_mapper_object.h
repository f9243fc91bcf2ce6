// The object both filter mappers are: IUnknown and one mapper interface, not aggregatable.
#pragma once

#include "host/unknown_impl.h"

#include <new>

namespace host {

template <class I> class MapperObject : public UnknownImpl<I> {
public:
    explicit MapperObject(REFIID iid) : UnknownImpl<I>(iid) {}

    template <class T> static HRESULT Create(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        T* object = new (std::nothrow) T();
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
};

} // namespace host
