#include "device_fixture.h"

#include <thread>

namespace {

using device_testing::ModelDevice;
using device_testing::PutWord;
using device_testing::WordAt;
using host::PropertyAccess;

struct Property {
    const GUID* set;
    ULONG id;
    ULONG size;
};

// The device's stored-word properties and their sizes, as the SDK and the pages expect them.
const Property kWordProperties[] = {
    {&PROPSETID_HDC_ENCODER, 0, 80},  {&PROPSETID_HDC_ENCODER, 1, 32},  {&PROPSETID_HDC_ENCODER, 2, 92},
    {&PROPSETID_HDC_ENCODER, 3, 48},  {&PROPSETID_HDC_ENCODER, 4, 16},  {&PROPSETID_HDC_ENCODER, 5, 84},
    {&PROPSETID_HDC_ENCODER, 7, 28},  {&PROPSETID_HDC_ENCODER, 8, 16},  {&PROPSETID_HDC_ENCODER, 11, 68},
    {&PROPSETID_HDC_ENCODER, 12, 60}, {&PROPSETID_HDC_ENCODER, 25, 20}, {&PROPSETID_HDC_ENCODER, 67, 4},
    {&PROPSETID_HDC_ENCODER, 70, 4},  {&PROPSETID_HDC_ENCODER, 71, 40}, {&PROPSETID_HDC_ENCODER, 72, 16},
    {&PROPSETID_HDC_ENCODER, 86, 4},  {&PROPSETID_HDC_DEVICE, 25, 4},   {&PROPSETID_HDC_DEVICE, 33, 4},
};
const Property kChannelProperties[] = {
    {&PROPSETID_HDC_DEVICE, 0, 74},
    {&PROPSETID_HDC_DEVICE, 2, 83},
    {&PROPSETID_HDC_DEVICE, 5, 8},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, 13, 40},
};

TEST(DeviceModel, PowersOnWithA1080p60InputAndTheDefaultSettings) {
    ModelDevice device;
    host::EncoderSettings s = device.model->Settings();
    EXPECT_EQ(s.width, 1920u);
    EXPECT_EQ(s.height, 1080u);
    EXPECT_EQ(s.frameRate, 30u);
    EXPECT_EQ(s.bitRateKbps, 30000u);
    EXPECT_EQ(s.gopSize, 30u);
    EXPECT_TRUE(s.audioOn);
    EXPECT_EQ(s.sampleRateHz, 48000u);
    EXPECT_EQ(s.volume, 10u);
    EXPECT_EQ(device.model->Name(), u"YRA USB Device");

    std::vector<uint8_t> input(32), scan(92);
    ASSERT_EQ(device.Get(PROPSETID_HDC_ENCODER, 1, input), S_OK);
    EXPECT_EQ(WordAt(input, 16), 1920u);
    EXPECT_EQ(WordAt(input, 24), 1080u);
    ASSERT_EQ(device.Get(PROPSETID_HDC_ENCODER, 2, scan), S_OK);
    EXPECT_EQ(WordAt(scan, 40), 2u); // progressive, high rate
    EXPECT_EQ(WordAt(scan, 60), 60u);
    EXPECT_EQ(WordAt(scan, 68), 0u);
}

TEST(DeviceModel, EveryStoredPropertyKeepsWhatIsSetAndAnswersWithItsSize) {
    ModelDevice device;
    for (const Property& p : kWordProperties) {
        SCOPED_TRACE(testing::Message() << "id " << p.id);
        std::vector<uint8_t> buffer(p.size);
        DWORD returned = 0;
        ASSERT_EQ(device.Get(*p.set, p.id, buffer, &returned), S_OK);
        EXPECT_EQ(returned, p.size);
        ASSERT_EQ(device.Set(*p.set, p.id, buffer), S_OK); // what was read may be written back

        for (ULONG offset = 0; offset < p.size; offset += 4)
            PutWord(buffer, offset, 0x5A000000 + offset);
        ASSERT_EQ(device.Set(*p.set, p.id, buffer), S_OK);
        std::vector<uint8_t> again(p.size);
        ASSERT_EQ(device.Get(*p.set, p.id, again), S_OK);
        EXPECT_EQ(again, buffer);
    }
}

TEST(DeviceModel, ShortBuffersAreRefusedWithTheSizeNeededAndLongOnesAccepted) {
    ModelDevice device;
    auto check = [&](const Property& p, bool gettable) {
        SCOPED_TRACE(testing::Message() << "id " << p.id);
        std::vector<uint8_t> shortBuffer(p.size - 1);
        DWORD returned = 0;
        HRESULT hr = gettable ? device.Get(*p.set, p.id, shortBuffer, &returned)
                              : device.Set(*p.set, p.id, shortBuffer);
        EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        if (gettable) EXPECT_EQ(returned, p.size);
    };
    for (const Property& p : kWordProperties)
        check(p, true);
    check(kChannelProperties[0], false);
    check(kChannelProperties[1], true);
    check(kChannelProperties[2], true);
    check(kChannelProperties[3], true);

    // A longer buffer is accepted and only the property's own bytes are written.
    std::vector<uint8_t> longer(24, 0xEE);
    DWORD returned = 0;
    ASSERT_EQ(device.Get(PROPSETID_HDC_ENCODER, 8, longer, &returned), S_OK);
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(WordAt(longer, 0), 1920u);
    EXPECT_EQ(WordAt(longer, 16), 0xEEEEEEEEu);
}

TEST(DeviceModel, UnknownSetsIdsAndDirectionsAreRefused) {
    ModelDevice device;
    YRA_DEFINE_GUID(PROPSETID_Other, 0x12345678, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);
    std::vector<uint8_t> buffer(128);
    EXPECT_EQ(device.Get(PROPSETID_Other, 0, buffer), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(device.Get(PROPSETID_HDC_ENCODER, 6, buffer), E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(device.Get(PROPSETID_HDC_DEVICE, 0, buffer), E_PROP_ID_UNSUPPORTED); // request is set-only
    EXPECT_EQ(device.Set(PROPSETID_HDC_DEVICE, 2, buffer), E_PROP_ID_UNSUPPORTED); // reply is get-only
    EXPECT_EQ(device.Set(PROPSETID_HDC_DEVICE, 5, buffer), E_PROP_ID_UNSUPPORTED);
    // Node properties exist only as node requests.
    EXPECT_EQ(device.Get(PROPSETID_EXT_NODE4, 1, buffer), E_PROP_SET_UNSUPPORTED);
    DWORD returned = 0;
    EXPECT_EQ(device.props->Get(PROPSETID_HDC_ENCODER, 8, nullptr, 0, buffer.data(), 16, nullptr), E_POINTER);
    EXPECT_EQ(device.props->Get(PROPSETID_HDC_ENCODER, 8, nullptr, 0, nullptr, 16, &returned), E_POINTER);
}

TEST(DeviceModel, QuerySupportedReportsEachPropertysDirections) {
    ModelDevice device;
    DWORD support = 0;
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_HDC_ENCODER, 8, &support), S_OK);
    EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET});
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_HDC_ENCODER, 11, &support), S_OK);
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_HDC_DEVICE, 0, &support), S_OK);
    EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_SET});
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_HDC_DEVICE, 2, &support), S_OK);
    EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET});
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, &support), S_OK);
    EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET});

    support = 77;
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_VIDCAP_VIDEOPROCAMP, 12, &support),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(device.props->QuerySupported(GUID_NULL, 0, &support), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(support, 77u);
    EXPECT_EQ(device.props->QuerySupported(PROPSETID_HDC_ENCODER, 8, nullptr), E_POINTER);
}

std::vector<uint8_t> McuRequest(uint8_t command) {
    std::vector<uint8_t> packet(74, 0);
    packet[0] = 0x78;
    packet[1] = 0x02;
    packet[2] = command;
    packet[3] = 0xFF;
    return packet;
}

std::vector<uint8_t> AskMcu(ModelDevice& device, uint8_t command) {
    std::vector<uint8_t> request = McuRequest(command);
    EXPECT_EQ(device.Set(PROPSETID_HDC_DEVICE, 0, request), S_OK);
    std::vector<uint8_t> reply(83, 0);
    EXPECT_EQ(device.Get(PROPSETID_HDC_DEVICE, 2, reply), S_OK);
    return reply;
}

TEST(DeviceModelMcu, AnswersTheLastRequestWithVersionOrHdmiCode) {
    ModelDevice device;
    std::vector<uint8_t> reply = AskMcu(device, 0x11);
    EXPECT_EQ(reply[0], 0x78);
    EXPECT_EQ(reply[1], 0x01);
    EXPECT_EQ(reply[2], 0x11);
    EXPECT_EQ(reply[10], 2);
    EXPECT_EQ(reply[11], 1);
    EXPECT_EQ(reply[12], 3);

    reply = AskMcu(device, 0x60);
    EXPECT_EQ(reply[2], 0x60);
    EXPECT_EQ(reply[10], 2);
    EXPECT_EQ(reply[12], 22);

    device.model->SetFirmwareVersion(2, 7);
    device.model->SetHdmiCode(17);
    EXPECT_EQ(AskMcu(device, 0x11)[12], 7);
    EXPECT_EQ(AskMcu(device, 0x11)[11], 2);
    EXPECT_EQ(AskMcu(device, 0x60)[12], 17);
    EXPECT_EQ(AskMcu(device, 0x42)[10], 0); // an unknown command gets no data
}

TEST(DeviceModelMcu, RepliesCanBeGivenAnyBytesAndLength) {
    host::DeviceConfig config;
    config.firmwareMajor = 4;
    config.firmwareMinor = 9;
    ModelDevice device(config);
    EXPECT_EQ(AskMcu(device, 0x11)[11], 4);

    device.model->SetMcuReplyData(std::vector<uint8_t>(100, 0xAB)); // more than the packet holds
    device.model->SetMcuReplyLength(250);
    std::vector<uint8_t> reply = AskMcu(device, 0x11);
    EXPECT_EQ(reply[10], 250);
    EXPECT_EQ(reply[82], 0xAB);

    device.model->ClearMcuReplyOverride();
    EXPECT_EQ(AskMcu(device, 0x11)[12], 9);
}

TEST(DeviceModelMcu, RefusesUnmarkedRequestsAndRepliesEmptyBeforeAnyRequest) {
    ModelDevice device;
    std::vector<uint8_t> reply(83, 0xCC);
    ASSERT_EQ(device.Get(PROPSETID_HDC_DEVICE, 2, reply), S_OK);
    EXPECT_EQ(reply[0], 0x78);
    EXPECT_EQ(reply[10], 0);

    std::vector<uint8_t> request = McuRequest(0x11);
    request[0] = 0x77;
    EXPECT_EQ(device.Set(PROPSETID_HDC_DEVICE, 0, request), E_INVALIDARG);
    request = McuRequest(0x11);
    request[1] = 0x01;
    EXPECT_EQ(device.Set(PROPSETID_HDC_DEVICE, 0, request), E_INVALIDARG);
}

TEST(DeviceModel, RegisterReadAnswersTheChipIdentifier) {
    ModelDevice device;
    std::vector<uint8_t> buffer(8, 0);
    PutWord(buffer, 0, 0x38);
    ASSERT_EQ(device.Get(PROPSETID_HDC_DEVICE, 5, buffer), S_OK);
    EXPECT_EQ(WordAt(buffer, 0), 0x38u);
    EXPECT_EQ(WordAt(buffer, 4), 0x10020u);
    PutWord(buffer, 0, 0x10);
    ASSERT_EQ(device.Get(PROPSETID_HDC_DEVICE, 5, buffer), S_OK);
    EXPECT_EQ(WordAt(buffer, 4), 0u);
}

// The power-line record: KSPROPERTY_VIDEOPROCAMP_S and a spare word; the value sits at byte 24.
HRESULT PowerLine(ModelDevice& device, bool set, int32_t& code) {
    struct {
        KSPROPERTY_VIDEOPROCAMP_S s;
        ULONG spare;
    } record{};
    static_assert(sizeof record == 40);
    record.s.Property = {PROPSETID_VIDCAP_VIDEOPROCAMP, 13,
                         ULONG(set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET)};
    record.s.Value = code;
    DWORD returned = 0;
    if (set) return device.props->Set(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, &record.s.Value, 16, &record, 40);
    HRESULT hr =
        device.props->Get(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, &record.s.Value, 16, &record, 40, &returned);
    if (SUCCEEDED(hr)) code = record.s.Value;
    return hr;
}

TEST(DeviceModel, PowerLineFrequencyTakesTheThreeCodes) {
    ModelDevice device;
    int32_t code = -1;
    ASSERT_EQ(PowerLine(device, false, code), S_OK);
    EXPECT_EQ(code, 2); // 60 Hz
    for (int32_t wanted : {0, 1, 2}) {
        code = wanted;
        ASSERT_EQ(PowerLine(device, true, code), S_OK);
        code = -1;
        ASSERT_EQ(PowerLine(device, false, code), S_OK);
        EXPECT_EQ(code, wanted);
    }
    code = 3;
    EXPECT_EQ(PowerLine(device, true, code), E_INVALIDARG);
    // A test may still make the device report a code it would not accept.
    device.model->Store(PROPSETID_VIDCAP_VIDEOPROCAMP, 13, 0, 3);
    ASSERT_EQ(PowerLine(device, false, code), S_OK);
    EXPECT_EQ(code, 3);
}

TEST(DeviceModel, SettingsAreBroughtIntoTheEncodersRanges) {
    ModelDevice device;
    host::DeviceModel& m = *device.model;
    m.Store(PROPSETID_HDC_ENCODER, 8, 0, 19201);
    m.Store(PROPSETID_HDC_ENCODER, 8, 4, 7);
    m.Store(PROPSETID_HDC_ENCODER, 2, 64, 0);
    m.Store(PROPSETID_HDC_ENCODER, 3, 20, 0xFFFFFFFF);
    m.Store(PROPSETID_HDC_ENCODER, 70, 0, 0x80000021); // nibble 2 is not "on"
    m.Store(PROPSETID_HDC_ENCODER, 11, 8, 0);
    m.Store(PROPSETID_HDC_ENCODER, 86, 0, 99);
    host::EncoderSettings s = m.Settings();
    EXPECT_EQ(s.width, 1920u);
    EXPECT_EQ(s.height, 16u);
    EXPECT_EQ(s.frameRate, 1u);
    EXPECT_EQ(s.bitRateKbps, 30000u);
    EXPECT_FALSE(s.audioOn);
    EXPECT_EQ(s.sampleRateHz, 44100u);
    EXPECT_EQ(s.volume, 15u);

    m.Store(PROPSETID_HDC_ENCODER, 8, 0, 1281); // odd widths are rounded down
    EXPECT_EQ(m.Settings().width, 1280u);
}

TEST(DeviceModel, SettingsMayBeReadWhileAnotherThreadWrites) {
    ModelDevice device;
    std::thread writer([&] {
        std::vector<uint8_t> size(16);
        for (uint32_t i = 0; i < 500; ++i) {
            PutWord(size, 0, 640 + 2 * i);
            PutWord(size, 4, 480);
            device.Set(PROPSETID_HDC_ENCODER, 8, size);
        }
    });
    for (int i = 0; i < 500; ++i) {
        host::EncoderSettings s = device.model->Settings();
        ASSERT_TRUE(s.width == 1920 || (s.width >= 640 && s.height == 480));
    }
    writer.join();
    EXPECT_EQ(device.model->Settings().width, 640u + 998u);
}

} // namespace
