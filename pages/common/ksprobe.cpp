#include "pages/common/ksprobe.h"

#include "pages/common/ksnode.h"

namespace {

constexpr DWORD CHIP_ID_HD = 0x10020;
constexpr DWORD CHIP_ID_SD = 0x10;
constexpr ULONG IDENTIFY_NODE = 2;

} // namespace

BOOL IsOurChipId(DWORD dwChipId) { return dwChipId == CHIP_ID_HD || dwChipId == CHIP_ID_SD; }

void ReleaseKsInterfaces(IKsControl** ppKsControl, IKsPropertySet** ppKsPropertySet) {
    SafeRelease(*ppKsControl);
    SafeRelease(*ppKsPropertySet);
}

HRESULT TakeKsInterfaces(IUnknown* pUnknown, IKsControl** ppKsControl, IKsPropertySet** ppKsPropertySet) {
    // Connecting again without a disconnect would otherwise lose the earlier references.
    ReleaseKsInterfaces(ppKsControl, ppKsPropertySet);
    HRESULT hr = SafeQueryInterface(pUnknown, IID_IKsControl, reinterpret_cast<void**>(ppKsControl));
    if (FAILED(hr)) return hr;
    return SafeQueryInterface(pUnknown, IID_IKsPropertySet, reinterpret_cast<void**>(ppKsPropertySet));
}

void ProbeDevice(IKsControl* pKsControl, IKsPropertySet* pKsPropertySet, KSPROBERESULT* pResult) {
    DWORD dwTypeSupport = 0;
    pResult->hrSupport = pKsPropertySet->QuerySupported(PROPSETID_VIDCAP_VIDEOPROCAMP,
                                                        KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &dwTypeSupport);
    // The device answers the identification only after it has been told which register to read.
    DWORD adwIdentify[2] = {CHIP_ID_REGISTER, 1};
    HRESULT hrSet = KsNodeProperty(pKsControl, PROPSETID_EXT_NODE2, IDENTIFY_NODE, NODE2_ID_IDENTIFY, TRUE,
                                   adwIdentify, sizeof(adwIdentify));
    HRESULT hrGet = KsNodeProperty(pKsControl, PROPSETID_EXT_NODE2, IDENTIFY_NODE, NODE2_ID_IDENTIFY, FALSE,
                                   adwIdentify, sizeof(adwIdentify));
    pResult->bIdentified = hrSet == S_OK && hrGet == S_OK && IsOurChipId(adwIdentify[0]);
}
