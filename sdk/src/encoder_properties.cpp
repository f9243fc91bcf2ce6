#include "encoder_properties.h"

#include <cstring>

namespace {

struct PROPERTY_SLOT {
    const GUID* pSet;
    DWORD dwId;
    DWORD cbSize;
};

// In ENCODER_SLOT order.
const PROPERTY_SLOT g_Slots[SLOT_COUNT] = {
    {&PROPSETID_HDC_ENCODER, 72, 16}, {&PROPSETID_HDC_ENCODER, 0, 80},  {&PROPSETID_HDC_ENCODER, 1, 32},
    {&PROPSETID_HDC_ENCODER, 8, 16},  {&PROPSETID_HDC_ENCODER, 25, 20}, {&PROPSETID_HDC_DEVICE, 25, 4},
    {&PROPSETID_HDC_ENCODER, 2, 92},  {&PROPSETID_HDC_ENCODER, 3, 48},  {&PROPSETID_HDC_ENCODER, 4, 16},
    {&PROPSETID_HDC_ENCODER, 5, 84},  {&PROPSETID_HDC_ENCODER, 7, 28},  {&PROPSETID_HDC_ENCODER, 70, 4},
    {&PROPSETID_HDC_ENCODER, 71, 40}, {&PROPSETID_HDC_ENCODER, 11, 68}, {&PROPSETID_HDC_ENCODER, 12, 60},
    {&PROPSETID_HDC_ENCODER, 67, 4},  {&PROPSETID_HDC_DEVICE, 33, 4},
};

} // namespace

CEncoderProperties::CEncoderProperties() {
    std::memset(m_abBuffer, 0, sizeof m_abBuffer);
}

HRESULT CEncoderProperties::Read(CDevicePropertySet& device) {
    for (int i = 0; i < SLOT_COUNT; ++i) {
        HRESULT hr = device.Get(*g_Slots[i].pSet, g_Slots[i].dwId, m_abBuffer[i], g_Slots[i].cbSize);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CEncoderProperties::Write(CDevicePropertySet& device) {
    for (int i = 0; i < SLOT_COUNT; ++i) {
        HRESULT hr = device.Set(*g_Slots[i].pSet, g_Slots[i].dwId, m_abBuffer[i], g_Slots[i].cbSize);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

DWORD CEncoderProperties::Word(ENCODER_SLOT slot, DWORD dwOffset) const {
    DWORD dwValue;
    std::memcpy(&dwValue, m_abBuffer[slot] + dwOffset, sizeof dwValue);
    return dwValue;
}

void CEncoderProperties::SetWord(ENCODER_SLOT slot, DWORD dwOffset, DWORD dwValue) {
    std::memcpy(m_abBuffer[slot] + dwOffset, &dwValue, sizeof dwValue);
}
