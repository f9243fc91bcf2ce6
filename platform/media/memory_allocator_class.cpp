// The standard memory allocator as a built-in class: the framework's own CMemAllocator,
// compiled into the host, with the release callback offered.
#include "framework/memalloc.h"
#include "host/builtin_classes.h"

#include <new>

namespace host {
namespace {

HRESULT CreateMemoryAllocatorObject(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    HRESULT hr = S_OK;
    auto* allocator = new (std::nothrow) CMemAllocator(u"Memory allocator", pUnkOuter, &hr, TRUE);
    if (!allocator) return E_OUTOFMEMORY;
    allocator->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) hr = allocator->NonDelegatingQueryInterface(riid, ppv);
    allocator->NonDelegatingRelease();
    return hr;
}

BuiltinClassRegistrar g_memoryAllocator(CLSID_MemoryAllocator, CreateMemoryAllocatorObject);

} // namespace
} // namespace host
