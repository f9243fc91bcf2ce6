// Stands a test's own creation function in for one of the host's built-in classes while the
// object lives, so that tests can make creation fail or wrap what is created.
#pragma once

#include "host/builtin_classes.h"

class ScopedClassOverride {
public:
    ScopedClassOverride(REFCLSID clsid, host::CreateBuiltinFn create)
        : m_clsid(clsid), m_previous(host::FindBuiltinClass(clsid)) {
        host::RegisterBuiltinClass(clsid, create);
    }
    ~ScopedClassOverride() { host::RegisterBuiltinClass(m_clsid, m_previous); }
    ScopedClassOverride(const ScopedClassOverride&) = delete;
    ScopedClassOverride& operator=(const ScopedClassOverride&) = delete;

    // The class's own creation function, for wrappers.
    host::CreateBuiltinFn Original() const { return m_previous; }

private:
    CLSID m_clsid;
    host::CreateBuiltinFn m_previous;
};

// A creation function that always fails with the code of the template argument.
template <HRESULT kResult> HRESULT FailCreation(IUnknown*, REFIID, void** ppv) {
    if (ppv) *ppv = nullptr;
    return kResult;
}
