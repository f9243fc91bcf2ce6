// The device's property interfaces, IKsPropertySet and IKsControl, over a device model: what the
// kernel-streaming filter proxy offers on a real device's filter object.
#pragma once

#include "host/device_model.h"
#include "plat/media.h"

#include <memory>

namespace host {

// Embedded in an object that owns the identity (the device filter): its IUnknown methods go to
// that owner, which answers queries for the two interfaces through QueryKsInterface.
class DeviceKsInterfaces final : public IKsPropertySet, public IKsControl {
public:
    DeviceKsInterfaces(IUnknown* owner, std::shared_ptr<DeviceModel> model);
    DeviceKsInterfaces(const DeviceKsInterfaces&) = delete;
    DeviceKsInterfaces& operator=(const DeviceKsInterfaces&) = delete;
    ~DeviceKsInterfaces() = default;

    static bool IsKsInterface(REFIID riid);
    // Hands out IKsPropertySet or IKsControl with a reference on the owner, unless the model was
    // told to fail the query; E_NOINTERFACE for any other interface.
    HRESULT QueryKsInterface(REFIID riid, void** ppv);
    const std::shared_ptr<DeviceModel>& Model() const { return m_model; }

    // IUnknown, forwarded to the owner.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IKsPropertySet
    HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData) override;
    HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    // IKsControl: property requests (plain or addressed to a topology node); the device has no
    // methods or events.
    HRESULT KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                       ULONG* BytesReturned) override;
    HRESULT KsMethod(KSMETHOD* Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                     ULONG* BytesReturned) override;
    HRESULT KsEvent(KSEVENT* Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                    ULONG* BytesReturned) override;

private:
    IUnknown* const m_owner; // not counted: the owner contains this object
    const std::shared_ptr<DeviceModel> m_model;
};

// A filter object with no pins that carries only the device's property interfaces over `model`:
// the control path of a device without its streaming side. One reference is handed out.
HRESULT CreateDeviceControlFilter(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter);

} // namespace host
