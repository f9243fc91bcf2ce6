// A listed device as hardware: one state for every opening of it (kept under the host root), one
// graph streaming it at a time, and the cable: unplugged, it ends its stream, fails every call
// and leaves the list; plugged in again, it starts from its defaults. Other processes are played
// here by second models over the same device; the tools' tests use real ones.
#include "device_test_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/device_presence.h"
#include "platform/devices/encoder/loop_cache.h"
#include "platform/devices/encoder/loop_files.h"
#include "platform/devices/filter/stream_settings.h"
#include "platform/devices/model/device_image.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <thread>

namespace device_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

host::DeviceListEntry Listed(size_t index = 0) {
    return host::LoadDeviceList().devices.at(index);
}

uint32_t EncodeWidth(IBaseFilter* device) {
    HDC_FILTER_PARAM p{};
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device, &p), S_OK);
    return p.nEncodeWidth;
}

// Another opening of the listed device, as another process makes it: a model and filter of its own.
ComPtr<IBaseFilter> OpenAgain(size_t index = 0) {
    std::shared_ptr<host::DeviceModel> model;
    EXPECT_EQ(host::AttachDeviceModel(Listed(index), &model), S_OK);
    ComPtr<IBaseFilter> filter;
    if (model) EXPECT_EQ(host::CreateDeviceFilter(model, filter.Receive()), S_OK);
    return filter;
}

bool Streaming(size_t index = 0) {
    host::DevicePresence presence;
    EXPECT_EQ(host::QueryDevicePresence(Listed(index), &presence), S_OK);
    return presence.streaming;
}

uint64_t SamplesDelivered(IBaseFilter* device) {
    return host::DeviceStreamStatsOf(device)->samplesDelivered;
}

bool WaitForSamples(IBaseFilter* device, uint64_t count) {
    const auto deadline = Clock::now() + 60s;
    while (SamplesDelivered(device) < count && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    return SamplesDelivered(device) >= count;
}

using SharedDeviceTest = ComTest;

TEST_F(SharedDeviceTest, EveryOpeningSeesOneStateUntilTheDevicesLineChanges) {
    WriteDeviceList("Cam\nCam\n");
    std::vector<ListedDevice> listed = ListDevices();
    ASSERT_EQ(listed.size(), 2u);
    ComPtr<IBaseFilter> first = BindFilter(listed[0].moniker.Get());
    ASSERT_EQ(WriteSettings(first.Get(), {640, 360}), S_OK);

    EXPECT_EQ(EncodeWidth(OpenAgain(0).Get()), 640u);
    // The device of the same name on the next line is another device.
    EXPECT_EQ(EncodeWidth(OpenAgain(1).Get()), 1920u);
    EXPECT_TRUE(std::filesystem::is_regular_file(host::DeviceStateFolder(Listed(0)) + "/state"));
    EXPECT_NE(host::DeviceStateFolder(Listed(0)), host::DeviceStateFolder(Listed(1)));

    // A changed line describes a different device: it powers on with its defaults, and what was
    // opened of the old one is gone.
    WriteDeviceList("Cam; chip=0x10020\nCam\n");
    ComPtr<IBaseFilter> fresh = BindFilter(ListDevices().at(0).moniker.Get());
    EXPECT_EQ(EncodeWidth(fresh.Get()), 1920u);
    HDC_FILTER_PARAM p{};
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(first.Get(), &p), host::kDeviceNotConnected);
    // The other device kept its own state.
    ASSERT_EQ(WriteSettings(OpenAgain(1).Get(), {800, 448}), S_OK);
    EXPECT_EQ(EncodeWidth(BindFilter(ListDevices().at(1).moniker.Get()).Get()), 800u);
}

TEST_F(SharedDeviceTest, OneGraphStreamsADeviceAtATimeAndTheClaimEndsWithItsStream) {
    WriteDeviceList("Cam\n");
    ComPtr<IBaseFilter> device = BindFilter(ListDevices().at(0).moniker.Get());
    ASSERT_EQ(WriteSettings(device.Get(), {}), S_OK);
    ComPtr<IBaseFilter> other = OpenAgain();
    RecordingGraph a, b;
    ASSERT_EQ(a.Build(device.Get(), TestDir() + "/a.ts"), S_OK);
    ASSERT_EQ(b.Build(other.Get(), TestDir() + "/b.ts"), S_OK);

    EXPECT_FALSE(Streaming());
    ASSERT_EQ(a.control->Run(), S_OK);
    EXPECT_TRUE(Streaming());
    EXPECT_EQ(b.control->Pause(), HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(b.control->Run(), HRESULT_FROM_WIN32(ERROR_BUSY));
    // Settings are read and written while the device streams, as on hardware.
    EXPECT_EQ(WriteSettings(other.Get(), {}), S_OK);
    EXPECT_TRUE(WaitForSamples(device.Get(), 1));

    a.Dismantle();
    EXPECT_FALSE(Streaming());
    ASSERT_EQ(b.control->Run(), S_OK);
    EXPECT_TRUE(WaitForSamples(other.Get(), 1));
    b.Dismantle();
    EXPECT_FALSE(Streaming());
}

TEST_F(SharedDeviceTest, UnpluggingEndsTheStreamKeepsTheFileAndFailsEveryCall) {
    WriteDeviceList("Cam\n");
    ComPtr<IBaseFilter> device = BindFilter(ListDevices().at(0).moniker.Get());
    ASSERT_EQ(WriteSettings(device.Get(), {}), S_OK);
    const std::string path = TestDir() + "/unplugged.ts";
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(device.Get(), path), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(WaitForSamples(device.Get(), 20));

    ASSERT_EQ(host::UnplugDevice(Listed()), S_OK);
    EXPECT_EQ(host::UnplugDevice(Listed()), S_FALSE);
    EXPECT_EQ(graph.WaitForEvent(EC_DEVICE_LOST, 10000), reinterpret_cast<LONG_PTR>(device.Get()));
    EXPECT_EQ(graph.WaitForEvent(EC_ERRORABORT, 10000), host::kDeviceNotConnected);
    const host::DeviceStreamStats stats = *host::DeviceStreamStatsOf(device.Get());
    EXPECT_TRUE(stats.deviceLost);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(SamplesDelivered(device.Get()), stats.samplesDelivered); // nothing more

    HDC_FILTER_PARAM p{};
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.Get(), &p), host::kDeviceNotConnected);
    HRESULT hr = S_OK;
    EXPECT_TRUE(ListDevices(&hr).empty());
    EXPECT_EQ(hr, S_FALSE);
    std::shared_ptr<host::DeviceModel> model;
    EXPECT_EQ(host::AttachDeviceModel(Listed(), &model), host::kDeviceNotConnected);
    EXPECT_EQ(host::ResetDevice(Listed()), host::kDeviceNotConnected);

    graph.Dismantle();    // Stop still works and closes the file
    RecordingGraph again; // and a lost device streams no more
    ASSERT_EQ(again.Build(device.Get(), TestDir() + "/again.ts"), S_OK);
    EXPECT_EQ(again.control->Run(), host::kDeviceNotConnected);
    again.Dismantle();
    if (HaveFfmpegTools()) {
        EXPECT_THAT(ProbeStreams(path), ::testing::ElementsAre("aac 48000", "h264 320x180 15/1"));
        EXPECT_EQ(DecodeErrors(path), "");
    }

    // Plugged in again, it is listed and starts from its defaults; the old object stays lost.
    ASSERT_EQ(host::PlugDevice(Listed()), S_OK);
    EXPECT_EQ(host::PlugDevice(Listed()), S_FALSE);
    std::vector<ListedDevice> listed = ListDevices();
    ASSERT_EQ(listed.size(), 1u);
    ComPtr<IBaseFilter> replugged = BindFilter(listed[0].moniker.Get());
    EXPECT_NE(replugged.Get(), device.Get());
    EXPECT_EQ(EncodeWidth(replugged.Get()), 1920u);
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.Get(), &p), host::kDeviceNotConnected);

    // A reset puts the defaults back and leaves the device (and its openings) in place.
    ASSERT_EQ(WriteSettings(replugged.Get(), {}), S_OK);
    ASSERT_EQ(host::ResetDevice(Listed()), S_OK);
    EXPECT_EQ(EncodeWidth(replugged.Get()), 1920u);
}

TEST_F(SharedDeviceTest, AStateFileThatIsNotOneIsRefusedOrStartedAfresh) {
    WriteDeviceList("Cam\n");
    const std::string folder = host::DeviceStateFolder(Listed());
    const std::string state = folder + "/state";
    std::filesystem::create_directories(folder);
    std::shared_ptr<host::DeviceModel> model;

    // Neither waited on nor followed.
    ASSERT_EQ(::mkfifo(state.c_str(), 0600), 0);
    EXPECT_EQ(host::AttachDeviceModel(Listed(), &model), HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    std::filesystem::remove(state);
    std::filesystem::create_symlink("/dev/zero", state);
    EXPECT_EQ(host::AttachDeviceModel(Listed(), &model), HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    HRESULT hr = S_OK;
    ComPtr<IBaseFilter> filter;
    std::vector<ListedDevice> listed = ListDevices(&hr);
    ASSERT_EQ(listed.size(), 1u); // listed, but binding says what is wrong
    EXPECT_EQ(listed[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid()),
              HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));

    // A file of some other size is no state: the device starts afresh.
    std::filesystem::remove(state);
    { std::ofstream(state) << "garbage"; }
    ASSERT_EQ(host::AttachDeviceModel(Listed(), &model), S_OK);
    EXPECT_EQ(model->Settings().width, 1920u);
    EXPECT_EQ(std::filesystem::file_size(state), sizeof(host::DeviceImage));

    // A writer that died in the middle of a write: the device powers on again rather than keep
    // a half-written property.
    model->Store(PROPSETID_HDC_ENCODER, 8, 0, 640);
    EXPECT_EQ(model->Settings().width, 640u);
    const int fd = ::open(state.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const uint32_t writing = 1;
    ASSERT_EQ(::pwrite(fd, &writing, sizeof writing, offsetof(host::DeviceImage, writing)),
              static_cast<ssize_t>(sizeof writing));
    ::close(fd);
    EXPECT_EQ(model->Settings().width, 1920u);
}

TEST_F(SharedDeviceTest, AWrittenSettingIsPreparedBeforeItsStreamStarts) {
    WriteDeviceList("Cam\n");
    ComPtr<IBaseFilter> device = BindFilter(ListDevices().at(0).moniker.Get());
    ASSERT_EQ(WriteSettings(device.Get(), {}), S_OK);
    ASSERT_TRUE(host::WaitForPreparedStreams(120s));
    // Kept on disk for every process, and ready in this one.
    const auto settings = host::StreamSettingsOf(*host::DeviceModelOf(device.Get()));
    EXPECT_TRUE(std::filesystem::is_regular_file(host::encoder::LoopFilePath(settings)));
    const size_t encodes = host::encoder::LoopCache::Shared().EncodeCount();

    RecordingGraph graph;
    ASSERT_EQ(graph.Build(device.Get(), TestDir() + "/prepared.ts"), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(WaitForSamples(device.Get(), 1));
    EXPECT_EQ(host::encoder::LoopCache::Shared().EncodeCount(), encodes);
    graph.Dismantle();
}

} // namespace
} // namespace device_test
