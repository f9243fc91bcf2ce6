// Eight virtual devices recording in real time through graphs, as the capture program runs them:
// each device filter streams into a sink of its own in a graph of its own, paced by the graph's
// clock. The sink is a null renderer (default) or the dump filter writing to a file (--dump DIR).
// Prints the CPU share while streaming, how late samples reached their sinks against the stream
// time they were due, and how long the stops took.
//
//   devices_graph_realtime [--dump DIR] [seconds=10] [devices=8] [width=1920] [height=1080] [fps=30]
//   [kbps=30000]
#include "YRA_HD_Capture_SDK.h"
#include "framework/streams.h"
#include "host/device_filter.h"
#include "host/device_list.h"
#include "host/host_root.h"
#include "host/utf.h"
#include "plat/com.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

YRA_DEFINE_GUID(CLSID_BenchNullSink, 0x3C4E9A11, 0x58B2, 0x4F6D, 0xA1, 0x0E, 0x7D, 0x22, 0x91, 0x4B, 0x6C,
                0x30);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A renderer that drops every sample, noting how far behind its due stream time it arrived.
class CNullSink : public CBaseFilter {
public:
    CNullSink()
        : CBaseFilter(u"Null sink", nullptr, &m_csFilter, CLSID_BenchNullSink),
          m_pin(this, &m_csFilter, &m_hrPin) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }

    std::atomic<int64_t> worstLag{0};
    std::atomic<int64_t> totalLag{0};
    std::atomic<int64_t> samples{0};
    std::atomic<int64_t> bytes{0};

private:
    class Pin : public CBaseInputPin {
    public:
        Pin(CNullSink* pFilter, CCritSec* pLock, HRESULT* phr)
            : CBaseInputPin(u"Null pin", pFilter, pLock, phr, u"In"), m_pSink(pFilter) {}
        HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
        HRESULT Receive(IMediaSample* pSample) override {
            HRESULT hr = CBaseInputPin::Receive(pSample);
            if (hr != S_OK) return hr;
            REFERENCE_TIME now = 0, start = 0, stop = 0;
            if (m_pSink->StreamTime(now) == S_OK && pSample->GetTime(&start, &stop) == S_OK) {
                const int64_t lag = now - start;
                int64_t worst = m_pSink->worstLag.load();
                while (lag > worst && !m_pSink->worstLag.compare_exchange_weak(worst, lag)) {
                }
                m_pSink->totalLag += lag;
            }
            ++m_pSink->samples;
            m_pSink->bytes += pSample->GetActualDataLength();
            return S_OK;
        }

    private:
        CNullSink* const m_pSink;
    };

    CCritSec m_csFilter;
    HRESULT m_hrPin = S_OK;
    Pin m_pin;
};

struct Device {
    IBaseFilter* filter = nullptr;
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    CNullSink* nullSink = nullptr;
    IBaseFilter* dump = nullptr;
    std::string file;
};

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dumpDir;
    if (args.size() >= 2 && args[0] == "--dump") {
        dumpDir = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    auto arg = [&](size_t i, int fallback) {
        return args.size() > i ? std::atoi(args[i].c_str()) : fallback;
    };
    const int seconds = arg(0, 10), count = arg(1, 8);
    HDC_FILTER_PARAM settings{};
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

    // A private host root with a device list of `count` devices, each its own loop.
    const std::string root = "/tmp/yra-bench-" + std::to_string(getpid());
    setenv("YRA_HOST_ROOT", root.c_str(), 1);
    host::MakeDirectories(root);
    std::string list;
    for (int d = 1; d <= count; ++d)
        list += "YRA USB Device #" + std::to_string(d) + "\n";
    if (FILE* f = std::fopen(host::DeviceListPath().c_str(), "w")) {
        std::fputs(list.c_str(), f);
        std::fclose(f);
    }

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ICreateDevEnum* devEnum = nullptr;
    IEnumMoniker* monikers = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&devEnum));
    if (hr == S_OK) hr = devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, &monikers, 0);
    if (hr != S_OK) return Fail("CreateClassEnumerator", hr);

    std::vector<Device> devices;
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        Device d;
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&d.filter));
        moniker->Release();
        if (FAILED(hr)) return Fail("BindToObject", hr);
        YRA_HDC_SDK_InitializeFilterParam(d.filter);
        YRA_HDC_SDK_GetFilterParam(d.filter, &settings);
        settings.nEncodeWidth = static_cast<uint32_t>(arg(2, 1920));
        settings.nEncodeHeight = static_cast<uint32_t>(arg(3, 1080));
        settings.nEncodeFrameRate = static_cast<uint32_t>(arg(4, 30));
        settings.nBitRate = settings.nBitRate2 = settings.nBitRate3 = static_cast<uint32_t>(arg(5, 30000));
        if (FAILED(hr = YRA_HDC_SDK_SetFilterParam(d.filter, &settings))) return Fail("SetFilterParam", hr);

        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void**>(&d.graph));
        d.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&d.control));
        d.graph->AddFilter(d.filter, u"Source");
        IBaseFilter* sink = nullptr;
        if (dumpDir.empty()) {
            d.nullSink = new CNullSink;
            d.nullSink->AddRef();
            sink = d.nullSink;
        } else {
            CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             reinterpret_cast<void**>(&d.dump));
            IFileSinkFilter* fileSink = nullptr;
            d.dump->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&fileSink));
            d.file = dumpDir + "/device" + std::to_string(devices.size() + 1) + ".ts";
            fileSink->SetFileName(host::WideFromUtf8(d.file).c_str(), nullptr);
            fileSink->Release();
            sink = d.dump;
        }
        d.graph->AddFilter(sink, u"Sink");
        ICaptureGraphBuilder2* builder = nullptr;
        CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                         reinterpret_cast<void**>(&builder));
        builder->SetFiltergraph(d.graph);
        hr = builder->RenderStream(nullptr, nullptr, d.filter, nullptr, sink);
        builder->Release();
        if (FAILED(hr)) return Fail("RenderStream", hr);
        devices.push_back(d);
    }
    monikers->Release();
    devEnum->Release();

    std::printf("devices_graph_realtime: %zu device graphs -> %s, %ux%u at %u fps, %u kbps, %d s, %u cores\n",
                devices.size(), dumpDir.empty() ? "null sinks" : "dump filters", settings.nEncodeWidth,
                settings.nEncodeHeight, settings.nEncodeFrameRate, settings.nBitRate, seconds, cores);

    // Leaving stopped encodes each device's loop; run once every device is ready.
    const auto encodeStart = std::chrono::steady_clock::now();
    for (Device& d : devices)
        if (FAILED(hr = d.control->Pause())) return Fail("Pause", hr);
    for (Device& d : devices)
        while (!host::DeviceStreamStatsOf(d.filter)->streamReady)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("loops ready after %.2f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - encodeStart).count());

    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (Device& d : devices)
        if (FAILED(hr = d.control->Run())) return Fail("Run", hr);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    double worstStopMs = 0;
    for (Device& d : devices) {
        const auto before = std::chrono::steady_clock::now();
        d.control->Stop();
        worstStopMs = std::max(
            worstStopMs,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
    }

    int64_t samples = 0, bytes = 0, worstLag = 0, totalLag = 0;
    for (Device& d : devices) {
        const auto stats = *host::DeviceStreamStatsOf(d.filter);
        samples += static_cast<int64_t>(stats.samplesDelivered);
        bytes += static_cast<int64_t>(stats.bytesDelivered);
        if (stats.streamingError != S_OK || FAILED(stats.lastDeliverResult))
            std::printf("device error 0x%08X, last delivery 0x%08X\n",
                        static_cast<unsigned>(stats.streamingError),
                        static_cast<unsigned>(stats.lastDeliverResult));
        if (d.nullSink) {
            worstLag = std::max<int64_t>(worstLag, d.nullSink->worstLag.load());
            totalLag += d.nullSink->totalLag.load();
        }
    }
    std::printf("streaming: %lld samples, %.1f Mbit/s in all (%.1f per device)\n",
                static_cast<long long>(samples), static_cast<double>(bytes) * 8 / wall / 1e6,
                static_cast<double>(bytes) * 8 / wall / 1e6 / static_cast<double>(devices.size()));
    std::printf("CPU time / real time: %.4f (%.2f%% of %u cores)\n", cpu / wall, 100.0 * cpu / wall / cores,
                cores);
    if (dumpDir.empty())
        std::printf("sample lag at the sink behind its stream time: worst %.2f ms, mean %.3f ms\n",
                    static_cast<double>(worstLag) / 1e4,
                    samples ? static_cast<double>(totalLag) / static_cast<double>(samples) / 1e4 : 0.0);
    std::printf("stop: slowest graph stop %.2f ms\n", worstStopMs);

    for (Device& d : devices) {
        d.graph->RemoveFilter(d.filter);
        d.control->Release();
        d.graph->Release();
        if (d.nullSink) d.nullSink->Release();
        if (d.dump) d.dump->Release();
        d.filter->Release();
    }
    CoUninitialize();
    std::string cleanup = "rm -rf '" + root + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
