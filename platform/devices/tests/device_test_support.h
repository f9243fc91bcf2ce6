// What the device, device-list, dump and recording tests share: a component runtime per test,
// the device list file, graphs built the way the capture program builds them, the SDK's
// settings record, and readers of recorded files.
#pragma once

#include "host/device_filter.h"
#include "host/device_list.h"
#include "plat/com.h"
#include "platform/devices/encoder/encoder_settings.h"
#include "platform/media/com_ptr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device_test {

using host::ComPtr;

// Each test starts from an empty host root (no registry, no device list, no files) with the
// component runtime initialised on its thread.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The test's own folder (under its private host root), created on first use.
std::string TestDir();
void WriteDeviceList(const std::string& text);
void RemoveDeviceList();

struct ListedDevice {
    ComPtr<IMoniker> moniker;
    std::u16string name;
};
// What the system device enumerator lists for the capture category; `hr` its answer.
std::vector<ListedDevice> ListDevices(HRESULT* phr = nullptr);
ComPtr<IBaseFilter> BindFilter(IMoniker* moniker);
// A device filter over a fresh model that is not in any list.
ComPtr<IBaseFilter> NewDeviceFilter();

// Encoder settings written through the SDK; audioSampleRate is the SDK's code (0 44.1, 1 48 kHz).
struct PictureSettings {
    uint32_t width = 320;
    uint32_t height = 180;
    uint32_t frameRate = 15;
    uint32_t bitRateKbps = 600;
    bool audio = true;
    uint32_t audioSampleRate = 1;
};
HRESULT WriteSettings(IBaseFilter* device, const PictureSettings& settings);

// A recording graph as the capture program builds it: device "Source", dump "Dump", rendered
// with the capture graph builder, the file named through the dump's file sink.
struct RecordingGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IBaseFilter> dump;
    IBaseFilter* device = nullptr; // not owned: the graph holds it while it is a member

    HRESULT Build(IBaseFilter* pDevice, const std::string& path);
    // Stops the graph and takes the device out of it again, as the program's Stop does.
    void Dismantle();
    // The first event with this code, waiting up to `ms`; nullopt when none came.
    std::optional<LONG_PTR> WaitForEvent(LONG code, LONG ms);
};

// How many threads the process has now.
size_t ThreadCount();

std::vector<uint8_t> ReadFile(const std::string& path);
// The first `bytes` of the stream the device generates for `settings`, from its start.
std::vector<uint8_t> GeneratedStream(const host::encoder::EncoderSettings& settings, size_t bytes);

bool HaveFfmpegTools();
// ffprobe's view of the streams, sorted: "h264 WIDTHxHEIGHT RATE" and "aac SAMPLERATE".
std::vector<std::string> ProbeStreams(const std::string& path);
// What ffmpeg reports while decoding the whole file; empty for a clean file.
std::string DecodeErrors(const std::string& path);

} // namespace device_test
