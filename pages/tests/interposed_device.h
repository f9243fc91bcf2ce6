// A device's filter seen through an object the test controls: it can claim an interface without
// giving it, and can act before the device answers a property get.
#pragma once

#include "plat/ks.h"

#include <functional>

namespace page_testing {

class InterposedDevice final : public IKsPropertySet {
public:
    explicit InterposedDevice(IUnknown* device) {
        device->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&m_pDevice));
        device->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_pIdentity));
    }
    ~InterposedDevice() {
        SafeRelease(m_pDevice);
        SafeRelease(m_pIdentity);
    }
    InterposedDevice(const InterposedDevice&) = delete;
    InterposedDevice& operator=(const InterposedDevice&) = delete;

    IUnknown* Object() { return this; }

    IID claimedOnly = IID_NULL; // a query for this succeeds without giving the interface
    std::function<void(REFGUID set, DWORD id)> beforeGet;
    ULONG refs = 1;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == claimedOnly) return S_OK;
        if (riid == IID_IUnknown || riid == IID_IKsPropertySet) {
            *ppv = static_cast<IKsPropertySet*>(this);
            AddRef();
            return S_OK;
        }
        return m_pIdentity->QueryInterface(riid, ppv); // IKsControl: the device's own
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    HRESULT Set(REFGUID set, DWORD id, LPVOID instance, DWORD cbInstance, LPVOID data,
                DWORD cbData) override {
        return m_pDevice->Set(set, id, instance, cbInstance, data, cbData);
    }
    HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD cbInstance, LPVOID data, DWORD cbData,
                DWORD* pcbReturned) override {
        if (beforeGet) beforeGet(set, id);
        return m_pDevice->Get(set, id, instance, cbInstance, data, cbData, pcbReturned);
    }
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* pTypeSupport) override {
        return m_pDevice->QuerySupported(set, id, pTypeSupport);
    }

private:
    IKsPropertySet* m_pDevice = nullptr;
    IUnknown* m_pIdentity = nullptr;
};

} // namespace page_testing
