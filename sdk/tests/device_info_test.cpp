// The SDK version and the MCU channel: the request and reply packets, the answers, and what a
// failing or oversized reply does.
#include "sdk_test_device.h"

namespace {

using host::PropertyAccess;
using host::PropertyCall;
using sdk_testing::SdkDevice;

constexpr HRESULT kFailure = HRESULT(0x8007001F); // a device error

TEST(SdkVersion, IsAFixedNumber) {
    EXPECT_EQ(YRA_HDC_SDK_GetVersion(), 20150303);
    EXPECT_EQ(YRA_HDC_SDK_GetVersion(), 20150303);
}

void ExpectMcuTraffic(const std::vector<PropertyCall>& calls, uint8_t command) {
    ASSERT_EQ(calls.size(), 2u);
    const PropertyCall& request = calls[0];
    EXPECT_EQ(request.set, PROPSETID_HDC_DEVICE);
    EXPECT_EQ(request.id, 0u);
    EXPECT_EQ(request.access, PropertyAccess::Set);
    EXPECT_EQ(request.instanceSize, 74u);
    ASSERT_EQ(request.data.size(), 74u);
    std::vector<uint8_t> packet(74, 0);
    packet[0] = 0x78;
    packet[1] = 0x02;
    packet[2] = command;
    packet[3] = 0xFF;
    EXPECT_EQ(request.data, packet);
    EXPECT_EQ(request.instance, packet);

    const PropertyCall& reply = calls[1];
    EXPECT_EQ(reply.set, PROPSETID_HDC_DEVICE);
    EXPECT_EQ(reply.id, 2u);
    EXPECT_EQ(reply.access, PropertyAccess::Get);
    EXPECT_EQ(reply.dataSize, 83u);
    std::vector<uint8_t> asked(83, 0);
    asked[0] = 0x78;
    asked[1] = 0x01;
    asked[2] = command;
    asked[10] = 2;
    EXPECT_EQ(reply.instance, asked);
}

TEST(McuVersion, AsksTheMcuAndReportsMajorAndMinor) {
    SdkDevice device;
    int major = -1, minor = -1;
    ASSERT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), S_OK);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 3);
    ExpectMcuTraffic(device.model->Calls(), 0x11);

    device.model->SetFirmwareVersion(255, 254); // bytes widen without sign
    ASSERT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), S_OK);
    EXPECT_EQ(major, 255);
    EXPECT_EQ(minor, 254);
}

TEST(HdmiResolution, ReportsTheSecondReplyByte) {
    SdkDevice device;
    int code = -1;
    ASSERT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, &code), S_OK);
    EXPECT_EQ(code, 22);
    ExpectMcuTraffic(device.model->Calls(), 0x60);

    device.model->SetMcuReplyData({9, 0});
    ASSERT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, &code), S_OK);
    EXPECT_EQ(code, 0);
    device.model->SetMcuReplyData({1, 3});
    int major = 0, minor = 0;
    ASSERT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), S_OK);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 3);
}

TEST(McuChannel, AFailedRequestOrReplyLeavesTheOutputs) {
    for (PropertyAccess failing : {PropertyAccess::Set, PropertyAccess::Get}) {
        SdkDevice device;
        const ULONG id = failing == PropertyAccess::Set ? 0 : 2;
        device.model->Refuse(PROPSETID_HDC_DEVICE, id, failing, kFailure);
        int major = -7, minor = -8, code = -9;
        EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), kFailure);
        EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, &code), kFailure);
        EXPECT_EQ(major, -7);
        EXPECT_EQ(minor, -8);
        EXPECT_EQ(code, -9);
        // A refused request is not followed by a reply read.
        EXPECT_EQ(device.model->Calls().size(), failing == PropertyAccess::Set ? 2u : 4u);
    }
}

TEST(McuChannel, AnOversizedReportedLengthIsBoundedByTheReplyArea) {
    SdkDevice device;
    std::vector<uint8_t> data(72);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(200 - i);
    device.model->SetMcuReplyData(data);
    for (uint8_t length : {uint8_t{8}, uint8_t{9}, uint8_t{72}, uint8_t{73}, uint8_t{255}}) {
        device.model->SetMcuReplyLength(length);
        int major = 0, minor = 0, code = 0;
        ASSERT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), S_OK);
        ASSERT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, &code), S_OK);
        EXPECT_EQ(major, 200);
        EXPECT_EQ(minor, 199);
        EXPECT_EQ(code, 199);
    }
}

TEST(McuChannel, AShortReplyGivesZeroes) {
    SdkDevice device;
    device.model->SetMcuReplyLength(0);
    int major = -1, minor = -1;
    ASSERT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), S_OK);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(minor, 0);
}

TEST(McuChannel, NullArgumentsAndAMissingInterface) {
    SdkDevice device;
    int major = -7, minor = -8, code = -9;
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(nullptr, &major, &minor), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, nullptr, &minor), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, nullptr), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(nullptr, &code), E_INVALIDARG);
    EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, nullptr), E_INVALIDARG);
    EXPECT_TRUE(device.model->Calls().empty());

    device.model->FailQueryInterface(IID_IKsPropertySet, E_NOINTERFACE);
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.filter, &major, &minor), E_NOINTERFACE);
    EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(device.filter, &code), E_NOINTERFACE);
    EXPECT_EQ(major, -7);
    EXPECT_EQ(minor, -8);
    EXPECT_EQ(code, -9);
    EXPECT_TRUE(device.model->Calls().empty());
}

} // namespace
