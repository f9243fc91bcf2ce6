#include "host/device_ks.h"

namespace host {

DeviceKsInterfaces::DeviceKsInterfaces(IUnknown* owner, std::shared_ptr<DeviceModel> model)
    : m_owner(owner), m_model(std::move(model)) {}

bool DeviceKsInterfaces::IsKsInterface(REFIID riid) {
    return riid == IID_IKsPropertySet || riid == IID_IKsControl;
}

HRESULT DeviceKsInterfaces::QueryKsInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsKsInterface(riid)) return E_NOINTERFACE;
    HRESULT fault = m_model->InterfaceFault(riid);
    if (FAILED(fault)) return fault;
    if (riid == IID_IKsPropertySet)
        *ppv = static_cast<IKsPropertySet*>(this);
    else
        *ppv = static_cast<IKsControl*>(this);
    m_owner->AddRef();
    return S_OK;
}

HRESULT DeviceKsInterfaces::QueryInterface(REFIID riid, void** ppv) {
    return m_owner->QueryInterface(riid, ppv);
}
ULONG DeviceKsInterfaces::AddRef() {
    return m_owner->AddRef();
}
ULONG DeviceKsInterfaces::Release() {
    return m_owner->Release();
}

HRESULT DeviceKsInterfaces::Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData) {
    PropertyRequest request;
    request.set = guidPropSet;
    request.id = dwPropID;
    request.access = PropertyAccess::Set;
    request.flags = KSPROPERTY_TYPE_SET;
    request.instance = pInstanceData;
    request.instanceSize = pInstanceData ? cbInstanceData : 0;
    request.data = pPropData;
    request.dataSize = cbPropData;
    return m_model->Handle(request, nullptr);
}

HRESULT DeviceKsInterfaces::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                                DWORD* pcbReturned) {
    if (!pcbReturned) return E_POINTER;
    PropertyRequest request;
    request.set = guidPropSet;
    request.id = dwPropID;
    request.access = PropertyAccess::Get;
    request.flags = KSPROPERTY_TYPE_GET;
    request.instance = pInstanceData;
    request.instanceSize = pInstanceData ? cbInstanceData : 0;
    request.data = pPropData;
    request.dataSize = cbPropData;
    ULONG returned = 0;
    HRESULT hr = m_model->Handle(request, &returned);
    *pcbReturned = returned;
    return hr;
}

HRESULT DeviceKsInterfaces::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (!pTypeSupport) return E_POINTER;
    PropertyRequest request;
    request.set = guidPropSet;
    request.id = dwPropID;
    request.access = PropertyAccess::QuerySupported;
    request.flags = KSPROPERTY_TYPE_BASICSUPPORT;
    DWORD support = 0;
    request.data = &support;
    request.dataSize = sizeof support;
    HRESULT hr = m_model->Handle(request, nullptr);
    if (SUCCEEDED(hr)) *pTypeSupport = support;
    return hr;
}

HRESULT DeviceKsInterfaces::KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData,
                                       ULONG DataLength, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    if (!Property || PropertyLength < sizeof(KSPROPERTY)) return E_INVALIDARG;

    PropertyRequest request;
    request.set = Property->Set;
    request.id = Property->Id;
    request.flags = Property->Flags;
    const ULONG kind = Property->Flags & ~KSPROPERTY_TYPE_TOPOLOGY;
    if (kind == KSPROPERTY_TYPE_GET)
        request.access = PropertyAccess::Get;
    else if (kind == KSPROPERTY_TYPE_SET)
        request.access = PropertyAccess::Set;
    else if (kind == KSPROPERTY_TYPE_BASICSUPPORT)
        request.access = PropertyAccess::QuerySupported;
    else
        return E_INVALIDARG;

    ULONG header = sizeof(KSPROPERTY);
    if (Property->Flags & KSPROPERTY_TYPE_TOPOLOGY) {
        if (PropertyLength < sizeof(KSP_NODE)) return E_INVALIDARG;
        request.node = reinterpret_cast<const KSP_NODE*>(Property)->NodeId;
        header = sizeof(KSP_NODE);
    }
    // Whatever follows the header is the request's instance data.
    request.instance =
        PropertyLength > header ? reinterpret_cast<const uint8_t*>(Property) + header : nullptr;
    request.instanceSize = PropertyLength - header;
    request.data = PropertyData;
    request.dataSize = DataLength;
    return m_model->Handle(request, BytesReturned);
}

HRESULT DeviceKsInterfaces::KsMethod(KSMETHOD*, ULONG, LPVOID, ULONG, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    return E_PROP_SET_UNSUPPORTED;
}

HRESULT DeviceKsInterfaces::KsEvent(KSEVENT*, ULONG, LPVOID, ULONG, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    return E_PROP_SET_UNSUPPORTED;
}

} // namespace host
