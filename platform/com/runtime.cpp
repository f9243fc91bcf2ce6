// Per-thread initialisation and creation by class id: the host's built-in classes first,
// then the modules the registry names.
#include "class_lookup.h"
#include "host/builtin_classes.h"
#include "host/unknown_impl.h"
#include "plat/com.h"

#include <new>

namespace host {
namespace {

struct ThreadState {
    ULONG count = 0;
    DWORD mode = 0;
};
thread_local ThreadState t_state;

bool IsMultithreaded(DWORD dwCoInit) { return (dwCoInit & COINIT_APARTMENTTHREADED) == 0; }

// The class object of a built-in class: creation goes straight to the class's function.
class BuiltinFactory final : public UnknownImpl<IClassFactory> {
public:
    explicit BuiltinFactory(CreateBuiltinFn create) : UnknownImpl(IID_IClassFactory), m_create(create) {}

    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        return m_create(pUnkOuter, riid, ppv);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    ~BuiltinFactory() override = default;
    CreateBuiltinFn m_create;
};

} // namespace
} // namespace host

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit) {
    host::ThreadState& s = host::t_state;
    if (s.count > 0 && host::IsMultithreaded(s.mode) != host::IsMultithreaded(dwCoInit)) return RPC_E_CHANGED_MODE;
    if (s.count++ > 0) return S_FALSE;
    s.mode = dwCoInit;
    return S_OK;
}

void CoUninitialize() {
    host::ThreadState& s = host::t_state;
    if (s.count > 0) --s.count;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (host::t_state.count == 0) return CO_E_NOTINITIALIZED;
    if (host::CreateBuiltinFn create = host::FindBuiltinClass(rclsid)) {
        auto* factory = new (std::nothrow) host::BuiltinFactory(create);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return host::GetRegisteredClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

// Closes nothing. A module that answers DllCanUnloadNow with S_OK may still be running: its
// last object's release has counted the object gone but not yet returned into the caller. No
// answer of the module can tell when that return is over, so a module is never closed under a
// thread that may be inside it: it stays until the process ends.
void CoFreeUnusedLibraries() {}
