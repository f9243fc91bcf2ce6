// Eight virtual devices recording in real time through graphs, as the capture program runs them:
// each device filter streams into a sink of its own in a graph of its own, paced by the graph's
// clock. The sink is a null renderer (default) or the dump filter writing to a file (--dump DIR).
// Every device gets settings of its own (its bit rate steps down by 1000 kbps a device), written
// through the SDK, which has each device prepare its stream in the background. Prints how long
// that took, the time from each graph's Run to its device's first delivered sample (worst and
// median, all devices started together), the CPU share while streaming, how late samples reached
// their sinks against the stream time they were due, how long the stops took, and, for one
// device unplugged mid-stream, the time until end of stream reached its sink.
//
//   devices_graph_realtime [--dump DIR] [seconds=10] [devices=8] [width=1920] [height=1080] [fps=30]
//   [kbps=30000]
#include "YRA_HD_Capture_SDK.h"
#include "framework/streams.h"
#include "host/device_filter.h"
#include "host/device_list.h"
#include "host/device_presence.h"
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
    std::atomic<int64_t> endOfStreamNs{0}; // steady clock

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
        HRESULT EndOfStream() override {
            m_pSink->endOfStreamNs = std::chrono::steady_clock::now().time_since_epoch().count();
            return CBaseInputPin::EndOfStream();
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
    IMediaEventEx* events = nullptr;
    CNullSink* nullSink = nullptr;
    IBaseFilter* dump = nullptr;
    std::string file;
};

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

uint64_t Delivered(IBaseFilter* filter) {
    return host::DeviceStreamStatsOf(filter)->samplesDelivered;
}

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
        const int kbps = std::max(1000, arg(5, 30000) - 1000 * static_cast<int>(devices.size()));
        settings.nBitRate = settings.nBitRate2 = settings.nBitRate3 = static_cast<uint32_t>(kbps);
        if (FAILED(hr = YRA_HDC_SDK_SetFilterParam(d.filter, &settings))) return Fail("SetFilterParam", hr);

        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void**>(&d.graph));
        d.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&d.control));
        d.graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&d.events));
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

    std::printf("devices_graph_realtime: %zu device graphs -> %s, %ux%u at %u fps, %d kbps (1000 less each "
                "further device), %d s, %u cores\n",
                devices.size(), dumpDir.empty() ? "null sinks" : "dump filters", settings.nEncodeWidth,
                settings.nEncodeHeight, settings.nEncodeFrameRate, arg(5, 30000), seconds, cores);

    // The settings written above are being prepared in the background, as they are after any write.
    const auto prepareStart = std::chrono::steady_clock::now();
    host::WaitForPreparedStreams(std::chrono::minutes(10));
    std::printf("written settings prepared in the background within %.2f s of the bench waiting\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - prepareStart).count());

    // All devices started together: Run each graph, then watch for each device's first sample.
    std::vector<std::chrono::steady_clock::time_point> runAt(devices.size()), firstAt(devices.size());
    std::vector<bool> seen(devices.size(), false);
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < devices.size(); ++i) {
        runAt[i] = std::chrono::steady_clock::now();
        if (FAILED(hr = devices[i].control->Run())) return Fail("Run", hr);
    }
    for (size_t left = devices.size(); left && std::chrono::steady_clock::now() - start < std::chrono::seconds(30);) {
        for (size_t i = 0; i < devices.size(); ++i)
            if (!seen[i] && Delivered(devices[i].filter) > 0) {
                firstAt[i] = std::chrono::steady_clock::now();
                seen[i] = true;
                --left;
            }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::vector<double> firstMs;
    for (size_t i = 0; i < devices.size(); ++i)
        firstMs.push_back(seen[i] ? Milliseconds(firstAt[i] - runAt[i]) : 30000.0);
    std::printf("Run to first delivered sample: worst %.2f ms, median %.2f ms (goal: within 100 ms)\n",
                *std::max_element(firstMs.begin(), firstMs.end()), Median(firstMs));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::vector<double> stopMs;
    for (Device& d : devices) {
        const auto before = std::chrono::steady_clock::now();
        d.control->Stop();
        stopMs.push_back(Milliseconds(std::chrono::steady_clock::now() - before));
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
    std::printf("stop: slowest graph stop %.2f ms, median %.2f ms (goal: within 20 ms)\n",
                *std::max_element(stopMs.begin(), stopMs.end()), Median(stopMs));

    // One device unplugged mid-stream: how long until its end of stream reaches the sink.
    std::vector<double> unplugMs;
    const host::DeviceList attached = host::LoadDeviceList();
    for (int round = 0; round < 5; ++round) {
        Device& d = devices[0];
        if (FAILED(hr = d.control->Run())) return Fail("Run (before the unplug)", hr);
        const uint64_t before = Delivered(d.filter);
        while (Delivered(d.filter) < before + 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (d.events->GetEvent(&code, &p1, &p2, 0) == S_OK) d.events->FreeEventParams(code, p1, p2);
        if (d.nullSink) d.nullSink->endOfStreamNs = 0;
        const auto unplugged = std::chrono::steady_clock::now();
        if (FAILED(hr = host::UnplugDevice(attached.devices.at(0)))) return Fail("UnplugDevice", hr);
        std::chrono::steady_clock::time_point ended{};
        if (d.nullSink) {
            while (d.nullSink->endOfStreamNs.load() == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
            ended = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(d.nullSink->endOfStreamNs.load()));
        } else {
            // The dump filter reports the end of its stream as the graph's completion.
            while (d.events->GetEvent(&code, &p1, &p2, 5000) == S_OK) {
                d.events->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE) break;
            }
            ended = std::chrono::steady_clock::now();
        }
        unplugMs.push_back(Milliseconds(ended - unplugged));
        d.control->Stop();
        d.graph->RemoveFilter(d.filter);
        d.filter->Release();
        // Plugged in again, it is a fresh device: bind it anew, with its defaults.
        host::PlugDevice(attached.devices.at(0));
        if (FAILED(hr = host::BindDeviceFilter(attached.devices.at(0), &d.filter))) return Fail("BindDeviceFilter", hr);
        d.graph->AddFilter(d.filter, u"Source");
        IPin* out = nullptr;
        IPin* in = nullptr;
        d.filter->FindPin(host::kDeviceCapturePinName, &out);
        IEnumPins* pins = nullptr;
        IBaseFilter* sink = d.nullSink ? static_cast<IBaseFilter*>(d.nullSink) : d.dump;
        sink->EnumPins(&pins);
        pins->Next(1, &in, nullptr);
        pins->Release();
        hr = d.graph->ConnectDirect(out, in, nullptr);
        out->Release();
        in->Release();
        if (FAILED(hr)) return Fail("ConnectDirect (after plugging in)", hr);
    }
    std::printf("unplug mid-stream to end of stream at the %s: worst %.2f ms, median %.2f ms over %zu unplugs "
                "(goal: within 50 ms)\n",
                dumpDir.empty() ? "sink" : "dump filter", *std::max_element(unplugMs.begin(), unplugMs.end()),
                Median(unplugMs), unplugMs.size());

    for (Device& d : devices) {
        d.graph->RemoveFilter(d.filter);
        d.control->Release();
        d.events->Release();
        d.graph->Release();
        if (d.nullSink) d.nullSink->Release();
        if (d.dump) d.dump->Release();
        d.filter->Release();
    }
    CoUninitialize();
    std::string cleanup = "rm -rf '" + root + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
