#include "device_property_set.h"

HRESULT CDevicePropertySet::Open(IBaseFilter* pFilter) {
    SafeRelease(m_pKsPropertySet);
    // A filter that claims success without an interface must not crash the caller.
    return SafeQueryInterface(pFilter, IID_IKsPropertySet, reinterpret_cast<void**>(&m_pKsPropertySet));
}

HRESULT CDevicePropertySet::Get(REFGUID guidSet, DWORD dwId, BYTE* pBuffer, DWORD cbBuffer) {
    DWORD cbReturned = 0;
    return m_pKsPropertySet->Get(guidSet, dwId, pBuffer, cbBuffer, pBuffer, cbBuffer, &cbReturned);
}

HRESULT CDevicePropertySet::Set(REFGUID guidSet, DWORD dwId, BYTE* pBuffer, DWORD cbBuffer) {
    return m_pKsPropertySet->Set(guidSet, dwId, pBuffer, cbBuffer, pBuffer, cbBuffer);
}
