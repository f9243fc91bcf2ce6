// The device's property-set interface, held for the length of one exported call only: the SDK
// keeps no reference to the device between calls.
#pragma once

#include "YRA_HD_Capture_SDK.h"
#include "plat/ks.h"

class CDevicePropertySet {
public:
    CDevicePropertySet() = default;
    CDevicePropertySet(const CDevicePropertySet&) = delete;
    CDevicePropertySet& operator=(const CDevicePropertySet&) = delete;
    ~CDevicePropertySet() { SafeRelease(m_pKsPropertySet); }

    // Queries the filter for the interface; its failure is handed back unchanged.
    HRESULT Open(IBaseFilter* pFilter);

    // One buffer serves as both instance and property data; the size returned is not needed.
    HRESULT Get(REFGUID guidSet, DWORD dwId, BYTE* pBuffer, DWORD cbBuffer);
    HRESULT Set(REFGUID guidSet, DWORD dwId, BYTE* pBuffer, DWORD cbBuffer);

private:
    IKsPropertySet* m_pKsPropertySet = nullptr;
};
