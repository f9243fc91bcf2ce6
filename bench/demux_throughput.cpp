// Input throughput of the demultiplexer alone: a transport stream held in memory goes into the
// plug-in's input pin in 64 KiB samples on the benchmark's thread, and the two worker threads
// deliver into sinks that only count. Made by class id in a graph, as any application makes it.
//
// Counters: bytes_per_second is input through the filter; allocs counts every operator new of
// the process (the plug-in's included) from the graph's start to the end of the last delivery,
// allocs_at_run what starting the graph allocated (worker threads), which shows the count sees
// the plug-in. allocs is 0 whatever the input size: nothing is allocated per sample.
//
//   demux_throughput [--benchmark_filter=...]
#include "framework/streams.h"
#include "plat/com.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <vector>

// ---- allocation count ---------------------------------------------------------------------------

namespace {
std::atomic<long> g_allocations{0};
}

__attribute__((visibility("default"))) void* operator new(std::size_t cb) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(cb ? cb : 1)) return p;
    throw std::bad_alloc();
}
__attribute__((visibility("default"))) void* operator new(std::size_t cb, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(cb ? cb : 1);
}
__attribute__((visibility("default"))) void* operator new[](std::size_t cb) { return operator new(cb); }
__attribute__((visibility("default"))) void* operator new[](std::size_t cb, const std::nothrow_t& t) noexcept {
    return operator new(cb, t);
}
__attribute__((visibility("default"))) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((visibility("default"))) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((visibility("default"))) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((visibility("default"))) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

YRA_DEFINE_GUID(CLSID_DemuxFilter, 0x5B13AFDE, 0x230A, 0x44B5, 0x93, 0x7C, 0x9C, 0x85, 0x8D, 0x33, 0x8F, 0x27);
YRA_DEFINE_GUID(CLSID_BenchNullSink, 0x4A7B9C10, 0x2D3E, 0x4F5A, 0x8B, 0x6C, 0x7D, 0x8E, 0x9F, 0xA0, 0xB1, 0x01);

// ---- a stream in memory ---------------------------------------------------------------------------

void PutPts(uint8_t* p, int64_t v) {
    p[0] = static_cast<uint8_t>(0x21 | (((v >> 30) & 7) << 1));
    p[1] = static_cast<uint8_t>(v >> 22);
    p[2] = static_cast<uint8_t>(((v >> 15) & 0x7F) << 1 | 1);
    p[3] = static_cast<uint8_t>(v >> 7);
    p[4] = static_cast<uint8_t>((v & 0x7F) << 1 | 1);
}

// One PES in 188-byte packets, the last one padded with adaptation-field stuffing.
void AddPes(std::vector<uint8_t>& ts, uint8_t pid, uint8_t streamId, int64_t pts, const std::vector<uint8_t>& es,
            uint8_t& counter) {
    std::vector<uint8_t> pes = {0, 0, 1, streamId, 0, 0, 0x84, 0x80, 5, 0, 0, 0, 0, 0};
    PutPts(&pes[9], pts);
    pes.insert(pes.end(), es.begin(), es.end());
    if (pes.size() - 6 <= 0xFFFF) {
        pes[4] = static_cast<uint8_t>((pes.size() - 6) >> 8);
        pes[5] = static_cast<uint8_t>(pes.size() - 6);
    }
    for (size_t at = 0; at < pes.size(); at += 184) {
        size_t cb = std::min<size_t>(184, pes.size() - at);
        uint8_t packet[188];
        std::memset(packet, 0xFF, sizeof(packet));
        packet[0] = 0x47;
        packet[1] = at == 0 ? 0x40 : 0x00;
        packet[2] = pid;
        size_t header = 4;
        if (cb < 184) {
            packet[3] = static_cast<uint8_t>(0x30 | counter);
            packet[4] = static_cast<uint8_t>(183 - cb);
            if (183 - cb) packet[5] = 0;
            header = 188 - cb;
        } else {
            packet[3] = static_cast<uint8_t>(0x10 | counter);
        }
        counter = (counter + 1) & 15;
        std::memcpy(packet + header, pes.data() + at, cb);
        ts.insert(ts.end(), packet, packet + 188);
    }
}

// About cbTotal bytes of 1080p-like H.264 (150 KB pictures at 30 fps) and AAC (three 370-byte
// frames a PES), as a capture at a high bit rate looks.
std::vector<uint8_t> MakeStream(size_t cbTotal) {
    std::vector<uint8_t> ts;
    ts.reserve(cbTotal + (1 << 20));
    uint8_t videoCounter = 0, audioCounter = 0;
    std::vector<uint8_t> picture(150000, 0x5A);
    const uint8_t start[] = {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, 0x67, 0x64};
    std::memcpy(picture.data(), start, sizeof(start));
    std::vector<uint8_t> frames;
    for (int k = 0; k < 3; k++) {
        std::vector<uint8_t> frame(370, 0x21);
        frame[0] = 0xFF, frame[1] = 0xF1, frame[2] = 0x4C, frame[3] = 0x80;
        frame[4] = static_cast<uint8_t>(370 >> 3), frame[5] = static_cast<uint8_t>(((370 & 7) << 5) | 0x1F);
        frame[6] = 0xFC;
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    for (int64_t n = 0; ts.size() < cbTotal; n++) {
        AddPes(ts, 0x44, 0xE0, 3000 * n, picture, videoCounter);
        if (n % 2 == 0) AddPes(ts, 0x45, 0xC0, 3000 * n, frames, audioCounter);
    }
    return ts;
}

// ---- a sample over the stream, and sinks that only count ---------------------------------------------

class CViewSample final : public IMediaSample {
public:
    void Point(BYTE* p, LONG cb) { m_p = p, m_cb = cb; }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetPointer(BYTE** pp) override { return *pp = m_p, S_OK; }
    LONG GetSize() override { return m_cb; }
    HRESULT GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
    HRESULT SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
    HRESULT IsSyncPoint() override { return S_FALSE; }
    HRESULT SetSyncPoint(BOOL) override { return S_OK; }
    HRESULT IsPreroll() override { return S_FALSE; }
    HRESULT SetPreroll(BOOL) override { return S_OK; }
    LONG GetActualDataLength() override { return m_cb; }
    HRESULT SetActualDataLength(LONG) override { return S_OK; }
    HRESULT GetMediaType(AM_MEDIA_TYPE** pp) override { return *pp = nullptr, S_FALSE; }
    HRESULT SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT IsDiscontinuity() override { return S_FALSE; }
    HRESULT SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    HRESULT SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

private:
    BYTE* m_p = nullptr;
    LONG m_cb = 0;
};

class CNullSink;

class CNullPin : public CBaseInputPin {
public:
    CNullPin(CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, std::atomic<int>* pEnded)
        : CBaseInputPin(u"Null pin", pFilter, pLock, phr, u"In"), m_pEnded(pEnded) {}
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT Receive(IMediaSample*) override { return S_OK; }
    HRESULT EndOfStream() override {
        m_pEnded->fetch_add(1);
        m_pEnded->notify_all();
        return S_OK;
    }

private:
    std::atomic<int>* m_pEnded;
};

class CNullSink : public CBaseFilter {
public:
    explicit CNullSink(std::atomic<int>* pEnded) : CBaseFilter(u"Null sink", nullptr, &m_cs, CLSID_BenchNullSink) {
        HRESULT hr = S_OK;
        m_pPin = new CNullPin(this, &m_cs, &hr, pEnded);
    }
    ~CNullSink() override { delete m_pPin; }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? m_pPin : nullptr; }

private:
    CCritSec m_cs;
    CBasePin* m_pPin = nullptr;
};

// ---- the benchmark ------------------------------------------------------------------------------------

bool RegisterDemux() {
    static bool s_registered = [] {
        std::string root = std::filesystem::temp_directory_path() / ("yra-demux-bench-" + std::to_string(getpid()));
        setenv("YRA_HOST_ROOT", root.c_str(), 1);
        void* module = dlopen(YRA_DEMUX_MODULE, RTLD_NOW | RTLD_LOCAL);
        if (!module) return false;
        auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
        bool ok = entry && SUCCEEDED(entry());
        dlclose(module);
        return ok;
    }();
    return s_registered;
}

void BM_DemuxTransportStream(benchmark::State& state) {
    if (!RegisterDemux()) return state.SkipWithError("cannot register the demultiplexer");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<uint8_t> stream = MakeStream(static_cast<size_t>(state.range(0)) << 20);

    IGraphBuilder* graph = nullptr;
    IBaseFilter* demux = nullptr;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
    if (FAILED(CoCreateInstance(CLSID_DemuxFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&demux)))) {
        return state.SkipWithError("cannot create the demultiplexer");
    }
    std::atomic<int> ended{0};
    auto* videoSink = new CNullSink(&ended);
    auto* audioSink = new CNullSink(&ended);
    videoSink->AddRef();
    audioSink->AddRef();
    graph->AddFilter(demux, u"Demux");
    graph->AddFilter(videoSink, u"Video");
    graph->AddFilter(audioSink, u"Audio");
    IPin *input = nullptr, *video = nullptr, *audio = nullptr;
    demux->FindPin(u"input", &input);
    demux->FindPin(u"video", &video);
    demux->FindPin(u"audio", &audio);
    graph->ConnectDirect(video, videoSink->GetPin(0), nullptr);
    graph->ConnectDirect(audio, audioSink->GetPin(0), nullptr);
    IMemInputPin* receiver = nullptr;
    input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&receiver));
    IMediaControl* control = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));

    constexpr LONG kChunk = 65536;
    CViewSample sample;
    long allocations = 0;
    long startAllocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        long beforeRun = g_allocations.load();
        control->Run();
        ended = 0;
        long before = g_allocations.load();
        startAllocations = before - beforeRun;
        state.ResumeTiming();
        for (size_t at = 0; at < stream.size(); at += kChunk) {
            sample.Point(stream.data() + at, static_cast<LONG>(std::min<size_t>(kChunk, stream.size() - at)));
            receiver->Receive(&sample);
        }
        input->EndOfStream();
        for (int seen = ended.load(); seen < 2; seen = ended.load())
            ended.wait(seen);
        state.PauseTiming();
        allocations = g_allocations.load() - before;
        control->Stop();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
    state.counters["allocs"] = static_cast<double>(allocations);
    // What starting the graph allocates (worker threads and the like), to show the count works.
    state.counters["allocs_at_run"] = static_cast<double>(startAllocations);

    receiver->Release();
    for (IPin* pin : {input, video, audio})
        pin->Release();
    control->Release();
    graph->Release();
    demux->Release();
    videoSink->Release();
    audioSink->Release();
    CoUninitialize();
}
BENCHMARK(BM_DemuxTransportStream)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
