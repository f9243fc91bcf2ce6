// What the settings record becomes on the device and back: the exact property traffic of a read,
// a write and the defaults, and the words each member moves.
#include "sdk_test_device.h"

#include <map>

namespace {

using host::PropertyAccess;
using host::PropertyCall;
using sdk_testing::DefaultParam;
using sdk_testing::kReadList;
using sdk_testing::kVolume;
using sdk_testing::PropertyRef;
using sdk_testing::SdkDevice;
using sdk_testing::SentinelParam;
using sdk_testing::WordAt;

void ExpectCall(const PropertyCall& call, const PropertyRef& p, PropertyAccess access) {
    EXPECT_EQ(call.set, *p.set);
    EXPECT_EQ(call.id, p.id);
    EXPECT_EQ(call.access, access);
    EXPECT_EQ(call.flags, ULONG(access == PropertyAccess::Get ? KSPROPERTY_TYPE_GET : KSPROPERTY_TYPE_SET));
    EXPECT_EQ(call.instanceSize, p.size); // one buffer serves as instance and data
    EXPECT_EQ(call.dataSize, p.size);
    EXPECT_EQ(call.result, S_OK);
}

// The words a write sets in each property of the read list, by byte offset; every other word
// must go back as it was read.
std::map<ULONG, uint32_t> NamedWords(const PropertyRef& p, const std::vector<uint8_t>& read,
                                     const HDC_FILTER_PARAM& param) {
    const bool audio = param.bAudioEnable == 1;
    const uint32_t units = param.nInputWidth >> 4;
    if (*p.set == PROPSETID_HDC_DEVICE) return {{0, p.id == 25 ? 11u : 20u}};
    switch (p.id) {
    case 72:
        return {{4, 1}};
    case 0:
        return {{36, 1}, {40, audio ? 3u : 1u}, {44, 2}, {48, 12}, {52, 1}, {56, 1}, {60, 0}};
    case 1:
        return {{16, param.nInputWidth}, {24, param.nInputHeight}};
    case 8:
        return {{0, param.nEncodeWidth}, {4, param.nEncodeHeight}};
    case 25:
        return {{0, 0}};
    case 2: {
        uint32_t scan = param.bInputProgressive == 0 ? 0 : 1;
        if (param.bInputProgressive && param.nInputWidth >= 1920 && param.nInputHeight >= 1080 &&
            param.nInputFrameRate > 30)
            scan = 2;
        return {{40, scan},
                {44, 1},
                {48, 17},
                {52, 3},
                {60, param.nInputFrameRate},
                {64, param.nEncodeFrameRate},
                {68, param.bInputProgressive == 0 ? 1u : 0u}};
    }
    case 3:
        return {{20, param.nBitRate}, {24, units}, {32, 0}, {36, 0}};
    case 4:
        return {{0, param.nBitRate2}, {4, param.nBitRate3}};
    case 5:
        return {{36, 30}, {56, 0}, {72, 0}};
    case 7:
        return {{0, 0}, {12, 0}};
    case 70:
        return {{0, (WordAt(read, 0) & 0x7FFFFE00u) | 0x80000001u | (audio ? 0x10u : 0u)}};
    case 71:
        return {{0, 0}, {4, 0}, {8, 1}, {12, 0}, {16, 0}, {20, 0}, {24, 1}, {28, 0}};
    case 11:
        return {{0, 128}, {8, audio ? (param.nAudioSampleRate ? 1u : 0u) : 1u}, {56, 2}};
    case 12:
        return {};
    case 67:
        return {{0, (WordAt(read, 0) & ~0xFFFu) | (units & 0xFFFu)}};
    }
    ADD_FAILURE() << "no rule for id " << p.id;
    return {};
}

std::vector<uint8_t> ExpectedWrite(const PropertyRef& p, std::vector<uint8_t> read,
                                   const HDC_FILTER_PARAM& param) {
    for (auto [offset, value] : NamedWords(p, read, param))
        std::memcpy(read.data() + offset, &value, 4);
    return read;
}

TEST(FilterParamGet, ReadsTheSeventeenPropertiesThenTheVolumeAndFillsTheRecord) {
    SdkDevice device;
    device.FillDistinctWords();
    device.Store(70, 0, 0x12340010); // audio nibble 1
    device.Store(11, 8, 0);          // 44.1 kHz
    device.Store(1, 16, 1280);
    device.Store(1, 24, 720);
    device.Store(2, 40, 1);
    device.Store(2, 60, 50);
    device.Store(2, 64, 25);
    device.Store(8, 0, 640);
    device.Store(8, 4, 480);
    device.Store(3, 20, 8000);
    device.Store(4, 0, 7000);
    device.Store(4, 4, 9000);
    device.Store(86, 0, 7);

    HDC_FILTER_PARAM param = SentinelParam();
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &param), S_OK);

    std::vector<PropertyCall> calls = device.model->Calls();
    ASSERT_EQ(calls.size(), 18u);
    for (size_t i = 0; i < 17; ++i) {
        SCOPED_TRACE(i);
        ExpectCall(calls[i], kReadList[i], PropertyAccess::Get);
    }
    ExpectCall(calls[17], kVolume, PropertyAccess::Get);

    EXPECT_EQ(param.bAudioEnable, 1);
    EXPECT_EQ(param.nAudioSampleRate, 0u);
    EXPECT_EQ(param.nAudioVolume, 7u);
    EXPECT_EQ(param.nInputWidth, 1280u);
    EXPECT_EQ(param.nInputHeight, 720u);
    EXPECT_EQ(param.nInputFrameRate, 50u);
    EXPECT_EQ(param.bInputProgressive, 1u);
    EXPECT_EQ(param.nEncodeWidth, 640u);
    EXPECT_EQ(param.nEncodeHeight, 480u);
    EXPECT_EQ(param.nEncodeFrameRate, 25u);
    EXPECT_EQ(param.nBitRate, 8000u);
    EXPECT_EQ(param.nBitRate2, 7000u);
    EXPECT_EQ(param.nBitRate3, 9000u);
}

TEST(FilterParamGet, AudioAndScanWordsReadAsFlags) {
    SdkDevice device;
    for (uint32_t nibble = 0; nibble < 16; ++nibble) {
        SCOPED_TRACE(nibble);
        device.Store(70, 0, 0x80000001 | nibble << 4);
        HDC_FILTER_PARAM param = SentinelParam();
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &param), S_OK);
        // Only nibbles 0 and 1 speak about audio; any other leaves the caller's value.
        EXPECT_EQ(param.bAudioEnable, nibble <= 1 ? nibble : 0xA5u);
    }
    for (auto [scan, progressive] : {std::pair{0u, 0u}, {1u, 1u}, {2u, 1u}, {7u, 1u}}) {
        device.Store(2, 40, scan);
        HDC_FILTER_PARAM param = DefaultParam();
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &param), S_OK);
        EXPECT_EQ(param.bInputProgressive, progressive) << "scan mode " << scan;
    }
}

TEST(FilterParamSet, ReadsEveryPropertyThenWritesItBackChangingOnlyTheNamedWords) {
    SdkDevice device;
    device.FillDistinctWords();
    std::vector<std::vector<uint8_t>> before;
    for (const PropertyRef& p : kReadList)
        before.push_back(device.Stored(p));
    const HDC_FILTER_PARAM param{1, 0, 12, 1280, 720, 60, 1, 1280, 720, 30, 8000, 7000, 6000};
    const HDC_FILTER_PARAM copy = param;

    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    EXPECT_TRUE(sdk_testing::SameBytes(param, copy));

    std::vector<PropertyCall> calls = device.model->Calls();
    ASSERT_EQ(calls.size(), 35u);
    for (size_t i = 0; i < 17; ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i << " id " << kReadList[i].id);
        ExpectCall(calls[i], kReadList[i], PropertyAccess::Get);
        const PropertyCall& write = calls[17 + i];
        ExpectCall(write, kReadList[i], PropertyAccess::Set);
        std::vector<uint8_t> expected = ExpectedWrite(kReadList[i], before[i], param);
        for (ULONG offset = 0; offset < kReadList[i].size; offset += 4)
            EXPECT_EQ(write.Word(offset), WordAt(expected, offset)) << "word at " << offset;
        EXPECT_EQ(write.instance, write.data);
    }
    ExpectCall(calls[34], kVolume, PropertyAccess::Set);
    EXPECT_EQ(calls[34].Word(0), 12u);
}

TEST(FilterParamSet, AudioSwitchAndSampleRatePatterns) {
    struct Case {
        uint8_t enable;
        uint32_t rate;
        uint32_t path;     // ENC 0 word at 40
        uint32_t rateCode; // ENC 11 word at 8
        uint8_t readEnable;
    };
    const Case cases[] = {
        {1, 0, 3, 0, 1}, {1, 1, 3, 1, 1}, {1, 5, 3, 1, 1}, // any non-zero rate is 48 kHz
        {0, 0, 1, 1, 0}, {0, 1, 1, 1, 0}, {2, 0, 1, 1, 0}, // only exactly 1 is "on"
    };
    SdkDevice device;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "enable " << int(c.enable) << " rate " << c.rate);
        HDC_FILTER_PARAM param = DefaultParam();
        param.bAudioEnable = c.enable;
        param.nAudioSampleRate = c.rate;
        ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
        EXPECT_EQ(device.Word(0, 40), c.path);
        EXPECT_EQ(device.Word(11, 8), c.rateCode);
        EXPECT_EQ(device.Word(70, 0) & 0x1F1u, c.readEnable ? 0x11u : 0x01u);
        EXPECT_EQ(device.model->Settings().audioOn, c.readEnable == 1);

        HDC_FILTER_PARAM back = SentinelParam();
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
        EXPECT_EQ(back.bAudioEnable, c.readEnable);
        EXPECT_EQ(back.nAudioSampleRate, c.rateCode);
    }
}

TEST(FilterParamSet, AudioControlWordKeepsBitsNineToThirty) {
    SdkDevice device;
    for (uint32_t old : {0xFFFFFFFFu, 0x00000000u, 0x2468ACE0u}) {
        for (uint8_t enable : {uint8_t{1}, uint8_t{0}}) {
            device.Store(70, 0, old);
            HDC_FILTER_PARAM param = DefaultParam();
            param.bAudioEnable = enable;
            ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
            EXPECT_EQ(device.Word(70, 0), (old & 0x7FFFFE00u) | 0x80000001u | (enable ? 0x10u : 0u))
                << std::hex << old << " audio " << int(enable);
        }
    }
}

TEST(FilterParamSet, ScanModeFollowsTheInput) {
    struct Case {
        uint32_t width, height, rate, progressive;
        uint32_t scan, interlacedFlag, readProgressive;
    };
    const Case cases[] = {
        {1920, 1080, 60, 1, 2, 0, 1},
        {1920, 1080, 31, 1, 2, 0, 1},
        {1920, 1080, 30, 1, 1, 0, 1},
        {1280, 720, 60, 1, 1, 0, 1},
        {1919, 1080, 60, 1, 1, 0, 1},
        {1920, 1079, 60, 1, 1, 0, 1},
        {3840, 2160, 60, 1, 2, 0, 1},
        {1920, 1080, 60, 0, 0, 1, 0},
        {1920, 1080, 50, 0, 0, 1, 0},
        {720, 480, 60, 0, 0, 1, 0},
        // Any non-zero flag is progressive; the device never sees a scan mode beyond 2.
        {1920, 1080, 60, 5, 2, 0, 1},
        {1280, 720, 60, 5, 1, 0, 1},
    };
    SdkDevice device;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " at " << c.rate << " p" << c.progressive);
        HDC_FILTER_PARAM param = DefaultParam();
        param.nInputWidth = c.width;
        param.nInputHeight = c.height;
        param.nInputFrameRate = c.rate;
        param.bInputProgressive = c.progressive;
        ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
        EXPECT_EQ(device.Word(2, 40), c.scan);
        EXPECT_EQ(device.Word(2, 68), c.interlacedFlag);
        EXPECT_EQ(device.Word(2, 60), c.rate);
        HDC_FILTER_PARAM back = SentinelParam();
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
        EXPECT_EQ(back.bInputProgressive, c.readProgressive);
    }
}

TEST(FilterParamSet, InputWidthGoesOutInSixteenPixelUnits) {
    SdkDevice device;
    device.Store(67, 0, 0xABCDE123);
    HDC_FILTER_PARAM param = DefaultParam();
    param.nInputWidth = 1366;
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    EXPECT_EQ(device.Word(3, 24), 85u);
    EXPECT_EQ(device.Word(67, 0), 0xABCDE055u);
    EXPECT_EQ(device.Word(1, 16), 1366u);

    // A width beyond 12 bits of units keeps its full value in ENC 3 but only 12 bits in ENC 67.
    param.nInputWidth = 0x12345;
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    EXPECT_EQ(device.Word(3, 24), 0x1234u);
    EXPECT_EQ(device.Word(67, 0), 0xABCDE234u);
}

TEST(FilterParamSet, VolumeGoesOutAsTheRecordHoldsIt) {
    SdkDevice device;
    HDC_FILTER_PARAM param = DefaultParam();
    param.nAudioVolume = 99;
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    EXPECT_EQ(device.Word(86, 0), 99u);
    HDC_FILTER_PARAM back = SentinelParam();
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
    EXPECT_EQ(back.nAudioVolume, 99u);
}

TEST(FilterParamSet, ARecordReadsBackAsWritten) {
    SdkDevice device;
    const HDC_FILTER_PARAM param{0, 1, 3, 1280, 720, 50, 1, 720, 576, 25, 5000, 5000, 5000};
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &param), S_OK);
    HDC_FILTER_PARAM back = SentinelParam();
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
    EXPECT_EQ(back, param);
    EXPECT_EQ(device.model->Settings().width, 720u);
    EXPECT_EQ(device.model->Settings().bitRateKbps, 5000u);
}

TEST(FilterParamInitialize, WritesTheDefaultsThatAFreshDeviceAlreadyHolds) {
    SdkDevice device;
    std::vector<std::vector<uint8_t>> before;
    for (const PropertyRef& p : kReadList)
        before.push_back(device.Stored(p));
    ASSERT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.filter), S_OK);
    ASSERT_EQ(device.model->Calls().size(), 35u);
    for (size_t i = 0; i < 17; ++i)
        EXPECT_EQ(device.Stored(kReadList[i]), before[i]) << "slot " << i;

    const HDC_FILTER_PARAM other{0, 0, 2, 720, 480, 60, 0, 720, 480, 30, 1000, 1000, 1000};
    ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device.filter, &other), S_OK);
    ASSERT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.filter), S_OK);
    HDC_FILTER_PARAM back = DefaultParam();
    back.bAudioEnable = 7;
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.filter, &back), S_OK);
    EXPECT_EQ(back, DefaultParam());
}

} // namespace
