// A device model behind a control filter, as the SDK sees a device, and the property list the
// SDK walks.
#pragma once

#include "YRA_HD_Capture_SDK.h"
#include "host/device_ks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

namespace sdk_testing {

struct PropertyRef {
    const GUID* set;
    ULONG id;
    ULONG size;
};

// The seventeen properties the settings travel in, in the order the SDK walks them.
inline const PropertyRef kReadList[17] = {
    {&PROPSETID_HDC_ENCODER, 72, 16}, {&PROPSETID_HDC_ENCODER, 0, 80},  {&PROPSETID_HDC_ENCODER, 1, 32},
    {&PROPSETID_HDC_ENCODER, 8, 16},  {&PROPSETID_HDC_ENCODER, 25, 20}, {&PROPSETID_HDC_DEVICE, 25, 4},
    {&PROPSETID_HDC_ENCODER, 2, 92},  {&PROPSETID_HDC_ENCODER, 3, 48},  {&PROPSETID_HDC_ENCODER, 4, 16},
    {&PROPSETID_HDC_ENCODER, 5, 84},  {&PROPSETID_HDC_ENCODER, 7, 28},  {&PROPSETID_HDC_ENCODER, 70, 4},
    {&PROPSETID_HDC_ENCODER, 71, 40}, {&PROPSETID_HDC_ENCODER, 11, 68}, {&PROPSETID_HDC_ENCODER, 12, 60},
    {&PROPSETID_HDC_ENCODER, 67, 4},  {&PROPSETID_HDC_DEVICE, 33, 4},
};
inline const PropertyRef kVolume = {&PROPSETID_HDC_ENCODER, 86, 4};

inline uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

struct SdkDevice {
    explicit SdkDevice(host::DeviceConfig config = {})
        : model(std::make_shared<host::DeviceModel>(std::move(config))) {
        EXPECT_EQ(host::CreateDeviceControlFilter(model, &filter), S_OK);
    }
    ~SdkDevice() { EXPECT_EQ(filter->Release(), 0u); }
    SdkDevice(const SdkDevice&) = delete;
    SdkDevice& operator=(const SdkDevice&) = delete;

    // Gives every word of the read list a value of its own, so that any word the SDK moves,
    // drops or invents shows.
    void FillDistinctWords() {
        for (size_t slot = 0; slot < 17; ++slot)
            for (ULONG offset = 0; offset < kReadList[slot].size; offset += 4)
                model->Store(*kReadList[slot].set, kReadList[slot].id, offset,
                             0x40000000u | uint32_t(slot) << 16 | offset);
    }
    std::vector<uint8_t> Stored(const PropertyRef& p) const { return model->Stored(*p.set, p.id); }
    uint32_t Word(ULONG id, ULONG offset) const {
        return model->StoredWord(PROPSETID_HDC_ENCODER, id, offset);
    }
    void Store(ULONG id, ULONG offset, uint32_t value) {
        model->Store(PROPSETID_HDC_ENCODER, id, offset, value);
    }

    std::shared_ptr<host::DeviceModel> model;
    IBaseFilter* filter = nullptr;
};

inline HDC_FILTER_PARAM DefaultParam() {
    return HDC_FILTER_PARAM{1, 1, 10, 1920, 1080, 60, 1, 1920, 1080, 30, 30000, 30000, 30000};
}

// A record whose every byte, padding included, is 0xA5: untouched records compare equal to it.
inline HDC_FILTER_PARAM SentinelParam() {
    HDC_FILTER_PARAM param;
    std::memset(&param, 0xA5, sizeof param);
    return param;
}

inline bool SameBytes(const HDC_FILTER_PARAM& a, const HDC_FILTER_PARAM& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace sdk_testing

// Member-wise, so that padding never decides.
inline bool operator==(const HDC_FILTER_PARAM& a, const HDC_FILTER_PARAM& b) {
    return a.bAudioEnable == b.bAudioEnable && a.nAudioSampleRate == b.nAudioSampleRate &&
           a.nAudioVolume == b.nAudioVolume && a.nInputWidth == b.nInputWidth &&
           a.nInputHeight == b.nInputHeight && a.nInputFrameRate == b.nInputFrameRate &&
           a.bInputProgressive == b.bInputProgressive && a.nEncodeWidth == b.nEncodeWidth &&
           a.nEncodeHeight == b.nEncodeHeight && a.nEncodeFrameRate == b.nEncodeFrameRate &&
           a.nBitRate == b.nBitRate && a.nBitRate2 == b.nBitRate2 && a.nBitRate3 == b.nBitRate3;
}

inline void PrintTo(const HDC_FILTER_PARAM& p, std::ostream* os) {
    *os << "{audio " << int(p.bAudioEnable) << " rate " << p.nAudioSampleRate << " volume " << p.nAudioVolume
        << ", in " << p.nInputWidth << "x" << p.nInputHeight << "@" << p.nInputFrameRate << " p"
        << p.bInputProgressive << ", out " << p.nEncodeWidth << "x" << p.nEncodeHeight << "@"
        << p.nEncodeFrameRate << ", " << p.nBitRate << "/" << p.nBitRate2 << "/" << p.nBitRate3 << " kbps}";
}
