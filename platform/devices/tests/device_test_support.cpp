#include "device_test_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/host_root.h"
#include "host/utf.h"
#include "platform/devices/encoder/transport_streamer.h"
#include "tests/support/shell.h"

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

namespace device_test {

void ComTest::SetUp() {
    std::error_code ignored;
    std::filesystem::remove_all(host::HostRootPath(), ignored);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
}

void ComTest::TearDown() {
    CoUninitialize();
}

std::string TestDir() {
    const std::string dir = host::HostRootPath() + "/files";
    host::MakeDirectories(dir);
    return dir;
}

void WriteDeviceList(const std::string& text) {
    host::MakeDirectories(host::HostRootPath());
    std::ofstream(host::DeviceListPath(), std::ios::binary | std::ios::trunc) << text;
}

void RemoveDeviceList() {
    std::remove(host::DeviceListPath().c_str());
}

std::vector<ListedDevice> ListDevices(HRESULT* phr) {
    std::vector<ListedDevice> devices;
    ComPtr<ICreateDevEnum> devEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devEnum.ReceiveVoid());
    ComPtr<IEnumMoniker> monikers;
    if (SUCCEEDED(hr))
        hr = devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, monikers.Receive(), 0);
    if (phr) *phr = hr;
    if (hr != S_OK || !monikers) return devices;
    IMoniker* pMoniker = nullptr;
    while (monikers->Next(1, &pMoniker, nullptr) == S_OK) {
        ListedDevice device{ComPtr<IMoniker>::Adopt(pMoniker), {}};
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid()))) {
            VARIANT name;
            VariantInit(&name);
            if (SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR)
                device.name = name.bstrVal;
            VariantClear(&name);
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

ComPtr<IBaseFilter> BindFilter(IMoniker* moniker) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid()), S_OK);
    return filter;
}

ComPtr<IBaseFilter> NewDeviceFilter() {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(host::CreateDeviceFilter(std::make_shared<host::DeviceModel>(), filter.Receive()), S_OK);
    return filter;
}

HRESULT WriteSettings(IBaseFilter* device, const PictureSettings& s) {
    HDC_FILTER_PARAM param{};
    HRESULT hr = YRA_HDC_SDK_GetFilterParam(device, &param);
    if (FAILED(hr)) return hr;
    param.nEncodeWidth = s.width;
    param.nEncodeHeight = s.height;
    param.nEncodeFrameRate = s.frameRate;
    param.nBitRate = param.nBitRate2 = param.nBitRate3 = s.bitRateKbps;
    param.bAudioEnable = s.audio ? 1 : 0;
    param.nAudioSampleRate = s.audioSampleRate;
    return YRA_HDC_SDK_SetFilterParam(device, &param);
}

HRESULT RecordingGraph::Build(IBaseFilter* pDevice, const std::string& path) {
    device = pDevice;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  graph.ReceiveVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder2, builder.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.Get());
    if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaControl, control.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaEventEx, events.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = graph->AddFilter(pDevice, u"Source");
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              dump.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = graph->AddFilter(dump.Get(), u"Dump");
    if (SUCCEEDED(hr)) hr = builder->RenderStream(nullptr, nullptr, pDevice, nullptr, dump.Get());
    ComPtr<IFileSinkFilter> sink;
    if (SUCCEEDED(hr)) hr = dump->QueryInterface(IID_IFileSinkFilter, sink.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = sink->SetFileName(host::WideFromUtf8(path).c_str(), nullptr);
    return hr;
}

void RecordingGraph::Dismantle() {
    if (control) control->Stop();
    if (graph && device) graph->RemoveFilter(device);
    device = nullptr;
}

std::optional<LONG_PTR> RecordingGraph::WaitForEvent(LONG code, LONG ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        LONG got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events->GetEvent(&got, &p1, &p2, static_cast<LONG>(std::max<int64_t>(left.count(), 0))) != S_OK)
            return std::nullopt;
        events->FreeEventParams(got, p1, p2);
        if (got == code) return p1;
    }
}

size_t ThreadCount() {
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> GeneratedStream(const host::encoder::EncoderSettings& settings, size_t bytes) {
    auto created = host::encoder::TransportStreamer::Create(settings, nullptr,
                                                            {static_cast<size_t>(host::kDeviceSampleBytes)});
    std::vector<uint8_t> stream;
    if (!created.ok()) return stream;
    while (stream.size() < bytes) {
        const host::encoder::StreamChunk chunk = created.value()->Next();
        stream.insert(stream.end(), chunk.data, chunk.data + chunk.size);
    }
    stream.resize(bytes);
    return stream;
}

bool HaveFfmpegTools() {
    static const bool have =
        std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
    return have;
}

std::vector<std::string> ProbeStreams(const std::string& path) {
    // The flat format names each top-level stream "streams.stream.N.key=value" (a program's
    // streams repeat under "programs.").
    std::istringstream lines(test_support::RunShell(
        "ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,sample_rate -of flat " +
        test_support::ShellQuote(path) + " 2>&1").output);
    std::map<int, std::map<std::string, std::string>> fields;
    const std::string prefix = "streams.stream.";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        const size_t dot = line.find('.', prefix.size());
        const size_t equals = line.find('=', dot);
        if (dot == std::string::npos || equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        fields[std::stoi(line.substr(prefix.size(), dot - prefix.size()))]
              [line.substr(dot + 1, equals - dot - 1)] = value;
    }
    std::vector<std::string> streams;
    for (auto& [index, f] : fields) {
        if (f.count("width"))
            streams.push_back(f["codec_name"] + " " + f["width"] + "x" + f["height"] + " " +
                              f["r_frame_rate"]);
        else
            streams.push_back(f["codec_name"] + " " + f["sample_rate"]);
    }
    std::sort(streams.begin(), streams.end());
    return streams;
}

std::string DecodeErrors(const std::string& path) {
    return test_support::RunShell("ffmpeg -nostdin -v error -i " + test_support::ShellQuote(path) + " -f null - 2>&1")
        .output;
}

} // namespace device_test
