// Recording a virtual device to a file through a graph built as the capture program builds it,
// and checking the file with FFmpeg's own tools.
#include "device_test_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "platform/devices/filter/stream_settings.h"

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

namespace device_test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class RecordingTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        RemoveDeviceList();
    }

    ComPtr<IBaseFilter> FirstDevice() {
        auto devices = ListDevices();
        EXPECT_FALSE(devices.empty());
        return devices.empty() ? ComPtr<IBaseFilter>() : BindFilter(devices[0].moniker.Get());
    }

    // Records `seconds` of the device into `path` and checks that the file holds exactly the
    // stream the device delivered.
    void Record(IBaseFilter* device, const std::string& path, std::chrono::milliseconds length) {
        RecordingGraph g;
        ASSERT_EQ(g.Build(device, path), S_OK);
        const auto settings = host::StreamSettingsOf(*host::DeviceModelOf(device));
        ASSERT_EQ(g.control->Run(), S_OK);
        std::this_thread::sleep_for(length);
        g.Dismantle();
        EXPECT_FALSE(g.WaitForEvent(EC_ERRORABORT, 0).has_value());
        ExpectFileIsTheDeliveredStream(device, path, settings);
    }

    static void ExpectFileIsTheDeliveredStream(IBaseFilter* device, const std::string& path,
                                               const host::encoder::EncoderSettings& settings) {
        const auto stats = *host::DeviceStreamStatsOf(device);
        const std::vector<uint8_t> file = ReadFile(path);
        EXPECT_GT(file.size(), 0u);
        EXPECT_EQ(file.size(), stats.bytesDelivered);
        EXPECT_TRUE(file == GeneratedStream(settings, file.size()))
            << "the file differs from the device's stream";
    }
};

TEST_F(RecordingTest, TheDefaultDeviceRecordsAFileThatFfmpegReadsCleanly) {
    ComPtr<IBaseFilter> device = FirstDevice();
    ASSERT_TRUE(device);
    ASSERT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.Get()), S_OK); // as the program does at start
    const std::string path = TestDir() + "/default.ts";
    Record(device.Get(), path, 2s);
    EXPECT_THAT(ProbeStreams(path), ElementsAre("aac 48000", "h264 1920x1080 30/1"));
    EXPECT_EQ(DecodeErrors(path), "");
}

TEST_F(RecordingTest, SettingsWrittenWithTheSdkShapeTheNextRecording) {
    ComPtr<IBaseFilter> device = FirstDevice();
    ASSERT_TRUE(device);

    ASSERT_EQ(WriteSettings(device.Get(), {320, 180, 15, 600, true, 0}), S_OK);
    const std::string first = TestDir() + "/small.ts";
    Record(device.Get(), first, 2s);
    EXPECT_THAT(ProbeStreams(first), ElementsAre("aac 44100", "h264 320x180 15/1"));
    EXPECT_EQ(DecodeErrors(first), "");

    ASSERT_EQ(WriteSettings(device.Get(), {640, 360, 25, 1000, false, 1}), S_OK);
    const std::string second = TestDir() + "/silent.ts";
    Record(device.Get(), second, 2s);
    EXPECT_THAT(ProbeStreams(second), ElementsAre("h264 640x360 25/1"));
    EXPECT_EQ(DecodeErrors(second), "");
}

TEST_F(RecordingTest, TheSameDeviceRecordsAgainInANewGraph) {
    ComPtr<IBaseFilter> device = FirstDevice();
    ASSERT_TRUE(device);
    ASSERT_EQ(WriteSettings(device.Get(), {}), S_OK);
    const std::string first = TestDir() + "/first.ts";
    const std::string second = TestDir() + "/second.ts";
    Record(device.Get(), first, 1s);
    Record(device.Get(), second, 1s);
    EXPECT_THAT(ProbeStreams(second), ElementsAre("aac 48000", "h264 320x180 15/1"));
    EXPECT_EQ(DecodeErrors(second), "");
}

TEST_F(RecordingTest, TwoDevicesRecordAtOnceEachIntoItsOwnFile) {
    WriteDeviceList("YRA USB Device\nYRA USB Device\n");
    auto devices = ListDevices();
    ASSERT_EQ(devices.size(), 2u);
    ComPtr<IBaseFilter> a = BindFilter(devices[0].moniker.Get());
    ComPtr<IBaseFilter> b = BindFilter(devices[1].moniker.Get());
    ASSERT_EQ(WriteSettings(a.Get(), {320, 180, 15, 600, true, 1}), S_OK);
    ASSERT_EQ(WriteSettings(b.Get(), {480, 270, 20, 700, false, 1}), S_OK);
    const auto settingsA = host::StreamSettingsOf(*host::DeviceModelOf(a.Get()));
    const auto settingsB = host::StreamSettingsOf(*host::DeviceModelOf(b.Get()));

    const std::string pathA = TestDir() + "/a.ts";
    const std::string pathB = TestDir() + "/b.ts";
    RecordingGraph ga, gb;
    ASSERT_EQ(ga.Build(a.Get(), pathA), S_OK);
    ASSERT_EQ(gb.Build(b.Get(), pathB), S_OK);
    ASSERT_EQ(ga.control->Run(), S_OK);
    ASSERT_EQ(gb.control->Run(), S_OK);
    std::this_thread::sleep_for(1500ms);

    // Stopping one leaves the other recording.
    ga.Dismantle();
    const uint64_t bAtStop = host::DeviceStreamStatsOf(b.Get())->bytesDelivered;
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(host::DeviceStreamStatsOf(b.Get())->bytesDelivered, bAtStop);
    gb.Dismantle();

    ExpectFileIsTheDeliveredStream(a.Get(), pathA, settingsA);
    ExpectFileIsTheDeliveredStream(b.Get(), pathB, settingsB);
    EXPECT_THAT(ProbeStreams(pathA), ElementsAre("aac 48000", "h264 320x180 15/1"));
    EXPECT_THAT(ProbeStreams(pathB), ElementsAre("h264 480x270 20/1"));
    EXPECT_EQ(DecodeErrors(pathA), "");
    EXPECT_EQ(DecodeErrors(pathB), "");
}

TEST_F(RecordingTest, AnUnwritableFileFailsTheRunWithItsErrorRaisedAsErrorAbort) {
    ComPtr<IBaseFilter> device = FirstDevice();
    ASSERT_TRUE(device);
    RecordingGraph g;
    ASSERT_EQ(g.Build(device.Get(), TestDir() + "/missing/x.ts"), S_OK);
    EXPECT_EQ(g.control->Run(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(g.WaitForEvent(EC_ERRORABORT, 0), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    g.Dismantle();
}

} // namespace
} // namespace device_test
