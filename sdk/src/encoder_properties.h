// The seventeen device properties that together carry the encoder settings. Both the read and
// the write of the settings walk them in this order; the write sends back every word it does not
// change exactly as it was read.
#pragma once

#include "device_property_set.h"

enum ENCODER_SLOT {
    SLOT_ENC_72,
    SLOT_ENC_0, // audio path
    SLOT_ENC_1, // input size
    SLOT_ENC_8, // encode size
    SLOT_ENC_25,
    SLOT_DEV_25,
    SLOT_ENC_2, // scan mode, input and encode frame rates
    SLOT_ENC_3, // bit rate
    SLOT_ENC_4, // second and third bit rate
    SLOT_ENC_5, // GOP
    SLOT_ENC_7,
    SLOT_ENC_70, // audio enable nibble
    SLOT_ENC_71,
    SLOT_ENC_11, // audio format
    SLOT_ENC_12,
    SLOT_ENC_67, // input width / 16
    SLOT_DEV_33,
    SLOT_COUNT
};

// The audio volume travels on its own, after the seventeen.
constexpr DWORD ENC_AUDIO_VOLUME = 86;

class CEncoderProperties {
public:
    CEncoderProperties();

    // Gets every slot in order; the first failure stops the walk and is returned.
    HRESULT Read(CDevicePropertySet& device);
    // Sets every slot in order; the first failure stops the walk and is returned.
    HRESULT Write(CDevicePropertySet& device);

    DWORD Word(ENCODER_SLOT slot, DWORD dwOffset) const;
    void SetWord(ENCODER_SLOT slot, DWORD dwOffset, DWORD dwValue);

private:
    static constexpr DWORD MAX_PROPERTY_SIZE = 92;
    BYTE m_abBuffer[SLOT_COUNT][MAX_PROPERTY_SIZE];
};
