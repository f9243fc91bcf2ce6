#include "filter_test_util.h"

#include "demux/demuxfilter.h"
#include "host/device_ks.h"
#include "plat/com.h"

#include <atomic>
#include <chrono>
#include <dlfcn.h>
#include <unistd.h>

namespace demuxtest {

HRESULT RegisterDemuxModule(bool bRegister) {
    void* handle = dlopen(YRA_DEMUX_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ADD_FAILURE() << dlerror();
        return E_FAIL;
    }
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, bRegister ? "DllRegisterServer" : "DllUnregisterServer"));
    HRESULT hr = entry ? entry() : E_FAIL;
    dlclose(handle);
    return hr;
}

// ---- the device stand-in --------------------------------------------------------------------------

YRA_DEFINE_GUID(CLSID_TestDeviceStandIn, 0x3F0E7C55, 0x1B2A, 0x4D6E, 0x8C, 0x01, 0x5A, 0x6B, 0x7C, 0x8D, 0x9E, 0x01);
YRA_DEFINE_GUID(CLSID_TestHoardingSink, 0x3F0E7C55, 0x1B2A, 0x4D6E, 0x8C, 0x01, 0x5A, 0x6B, 0x7C, 0x8D, 0x9E, 0x02);

namespace {

class CStandInPin : public CBaseOutputPin {
public:
    CStandInPin(CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr)
        : CBaseOutputPin(u"Stand-in pin", pFilter, pLock, phr, u"Out") {}
    HRESULT CheckMediaType(const CMediaType* pmt) override {
        return *pmt->Type() == MEDIATYPE_Stream ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override {
        if (iPosition != 0) return S_FALSE;
        pmt->SetType(&MEDIATYPE_Stream);
        pmt->SetSubtype(&MEDIASUBTYPE_MPEG2_TRANSPORT);
        pmt->SetFormatType(&FORMAT_None);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override {
        pRequest->cBuffers = 1;
        pRequest->cbBuffer = 188 * 64;
        ALLOCATOR_PROPERTIES actual{};
        return pAlloc->SetProperties(pRequest, &actual);
    }
};

} // namespace

CDeviceStandIn::CDeviceStandIn(std::shared_ptr<host::DeviceModel> model)
    : CBaseFilter(u"Device stand-in", nullptr, &m_csFilter, CLSID_TestDeviceStandIn) {
    HRESULT hr = S_OK;
    m_pPin = new CStandInPin(this, &m_csFilter, &hr);
    m_pKs = std::make_unique<host::DeviceKsInterfaces>(GetOwner(), std::move(model));
}

CDeviceStandIn::~CDeviceStandIn() { delete m_pPin; }

CDeviceStandIn* CDeviceStandIn::Create(std::shared_ptr<host::DeviceModel> model) {
    auto* p = new CDeviceStandIn(std::move(model));
    p->AddRef();
    return p;
}

HRESULT CDeviceStandIn::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (bClaimPropertySetOnly && riid == IID_IKsPropertySet) {
        *ppv = nullptr;
        return S_OK;
    }
    if (host::DeviceKsInterfaces::IsKsInterface(riid)) return m_pKs->QueryKsInterface(riid, ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

// ---- the hoarding sink ----------------------------------------------------------------------------

CPlainAllocator* CPlainAllocator::Create(bool bOwnSample, HRESULT hrPointer) {
    return new CPlainAllocator(bOwnSample, hrPointer);
}

CPlainAllocator::CPlainAllocator(bool bOwnSample, HRESULT hrPointer) : m_bOwnSample(bOwnSample) {
    m_Own.hrPointer = hrPointer;
    EXPECT_EQ(CreateMemoryAllocator(&m_pInner), S_OK);
}

CPlainAllocator::~CPlainAllocator() {
    if (m_pInner) m_pInner->Release();
}

HRESULT CPlainAllocator::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
        *ppv = static_cast<IMemAllocator*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return bClaimCallbackOnly && riid == IID_IMemAllocatorCallbackTemp ? S_OK : E_NOINTERFACE;
}

ULONG CPlainAllocator::Release() {
    ULONG c = --m_cRef;
    if (c == 0) delete this;
    return c;
}

HRESULT CPlainAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    return m_pInner->SetProperties(pRequest, pActual);
}

HRESULT CPlainAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    return m_pInner->GetProperties(pProps);
}

HRESULT CPlainAllocator::Commit() { return m_pInner->Commit(); }

HRESULT CPlainAllocator::Decommit() { return m_pInner->Decommit(); }

HRESULT CPlainAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd,
                                   DWORD dwFlags) {
    ++m_cGetBuffer;
    if (m_bOwnSample) {
        m_Own.AddRef();
        *ppBuffer = &m_Own;
        return S_OK;
    }
    IMemAllocatorCallbackTemp* pCounts = nullptr;
    LONG cFree = 1;
    if (SUCCEEDED(
            m_pInner->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&pCounts)))) {
        pCounts->GetFreeCount(&cFree);
        pCounts->Release();
    }
    if (cFree == 0) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_bBlocked = true;
        m_changed.notify_all();
    }
    return m_pInner->GetBuffer(ppBuffer, pStart, pEnd, dwFlags);
}

HRESULT CPlainAllocator::ReleaseBuffer(IMediaSample* pBuffer) { return m_pInner->ReleaseBuffer(pBuffer); }

bool CPlainAllocator::WaitForBlockedGet(DWORD dwTimeoutMs) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(dwTimeoutMs), [&] { return m_bBlocked; });
}

class CHoardingPin : public CBaseInputPin {
public:
    CHoardingPin(CHoardingSink* pSink, HRESULT* phr)
        : CBaseInputPin(u"Hoarding pin", pSink, &pSink->m_csFilter, phr, u"In"), m_pSink(pSink) {}
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT GetAllocator(IMemAllocator** ppAllocator) override {
        if (!m_pSink->m_pAllocator) return CBaseInputPin::GetAllocator(ppAllocator);
        if (!ppAllocator) return E_POINTER;
        *ppAllocator = m_pSink->m_pAllocator;
        (*ppAllocator)->AddRef();
        return S_OK;
    }
    HRESULT Receive(IMediaSample* pSample) override {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        m_pSink->Keep(pSample);
        return S_OK;
    }

private:
    CHoardingSink* const m_pSink;
};

CHoardingSink::CHoardingSink(IMemAllocator* pAllocator)
    : CBaseFilter(u"Hoarding sink", nullptr, &m_csFilter, CLSID_TestHoardingSink), m_pAllocator(pAllocator) {
    if (m_pAllocator) m_pAllocator->AddRef();
    HRESULT hr = S_OK;
    m_pPin = new CHoardingPin(this, &hr);
}

CHoardingSink::~CHoardingSink() {
    LetGo();
    delete m_pPin;
    if (m_pAllocator) m_pAllocator->Release();
}

CHoardingSink* CHoardingSink::Create(IMemAllocator* pAllocator) {
    auto* p = new CHoardingSink(pAllocator);
    p->AddRef();
    return p;
}

void CHoardingSink::Keep(IMediaSample* pSample) {
    pSample->AddRef();
    std::lock_guard<std::mutex> hold(m_lock);
    m_held.push_back(pSample);
    m_changed.notify_all();
}

size_t CHoardingSink::Held() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_held.size();
}

bool CHoardingSink::WaitForHeld(size_t n, DWORD dwTimeoutMs) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(dwTimeoutMs), [&] { return m_held.size() >= n; });
}

void CHoardingSink::LetGo() {
    std::vector<IMediaSample*> held;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        held.swap(m_held);
    }
    for (IMediaSample* p : held)
        p->Release();
}

// ---- the graph ------------------------------------------------------------------------------------

void DemuxGraphTest::SetUp() {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(RegisterDemuxModule(), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events)), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_DemuxFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&demux)),
              S_OK);
    ASSERT_EQ(graph->AddFilter(demux, u"Demux"), S_OK);
    ASSERT_EQ(demux->FindPin(u"input", &input), S_OK);
    ASSERT_EQ(demux->FindPin(u"video", &video), S_OK);
    ASSERT_EQ(demux->FindPin(u"audio", &audio), S_OK);
}

void DemuxGraphTest::TearDown() {
    if (control) control->Stop();
    for (IPin* pin : {input, video, audio})
        if (pin) pin->Release();
    if (events) events->Release();
    if (control) control->Release();
    if (graph) EXPECT_EQ(graph->Release(), 0u);
    if (demux) EXPECT_EQ(demux->Release(), 0u) << "the graph's release frees the demultiplexer";
    for (IBaseFilter* f : m_added)
        f->Release();
    for (const std::string& path : m_files)
        unlink(path.c_str());
    CoFreeUnusedLibraries();
    CoUninitialize();
}

void DemuxGraphTest::Add(IBaseFilter* pFilter, const char16_t* pszName) {
    m_added.push_back(pFilter);
    ASSERT_EQ(graph->AddFilter(pFilter, pszName), S_OK);
}

void DemuxGraphTest::Connect(IPin* pOut, IPin* pIn) { ASSERT_EQ(graph->ConnectDirect(pOut, pIn, nullptr), S_OK); }

host::CFileSource* DemuxGraphTest::AddSource(const Bytes& stream, LONG cbChunk) {
    static std::atomic<int> s_nFile{0};
    std::string path = testing::TempDir() + "demux-filter-" + std::to_string(getpid()) + "-" +
                       std::to_string(s_nFile++) + ".bin";
    WriteFile(path, stream);
    m_files.push_back(path);
    host::FileSourceOptions options;
    options.cbChunk = cbChunk;
    host::CFileSource* source = nullptr;
    std::string why;
    EXPECT_EQ(host::CFileSource::Create(path, options, &source, &why), S_OK) << why;
    if (!source) return nullptr;
    Add(source, u"Source");
    Connect(source->GetPin(0), input);
    return source;
}

void DemuxGraphTest::AddSinks(const host::SampleSinkOptions& options, bool bAudio) {
    videoSink = host::CSampleSink::Create(options);
    Add(videoSink, u"Video sink");
    Connect(video, videoSink->GetPin(0));
    if (!bAudio) return;
    audioSink = host::CSampleSink::Create(options);
    Add(audioSink, u"Audio sink");
    Connect(audio, audioSink->GetPin(0));
}

HRESULT DemuxGraphTest::WaitForEvent(LONG lCode, DWORD dwTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeoutMs);
    for (;;) {
        using std::chrono::milliseconds;
        auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return S_FALSE;
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        if (events->GetEvent(&code, &param1, &param2, static_cast<LONG>(left.count())) != S_OK)
            return S_FALSE;
        events->FreeEventParams(code, param1, param2);
        if (code == lCode) return static_cast<HRESULT>(param1);
    }
}

LONG DemuxGraphTest::RunToCompletion(DWORD dwTimeoutMs) {
    EXPECT_EQ(control->Run(), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(static_cast<LONG>(dwTimeoutMs), &code), S_OK);
    return code;
}

CMediaType DemuxGraphTest::ConnectionType(IPin* pPin) {
    CMediaType mt;
    EXPECT_EQ(pPin->ConnectionMediaType(&mt), S_OK);
    return mt;
}

// ---- streams --------------------------------------------------------------------------------------

Bytes TransportStreamOf(const std::vector<Unit>& video, const std::vector<Unit>& audio) {
    std::vector<Bytes> packets;
    uint8_t nVideoCounter = 0, nAudioCounter = 0;
    size_t a = 0;
    for (size_t v = 0; v < video.size() || a < audio.size(); v++) {
        if (v < video.size()) {
            PesHeader header;
            header.pts = video[v].pts;
            header.bUnbounded = true;
            for (Bytes& p : TsPackets(0x44, Pes(header, video[v].payload), nVideoCounter))
                packets.push_back(std::move(p));
        }
        // Audio up to the video time, so both streams run side by side.
        while (a < audio.size() && (v + 1 >= video.size() || audio[a].pts <= video[v].pts)) {
            PesHeader header;
            header.nStreamId = 0xC0;
            header.pts = audio[a].pts;
            for (Bytes& p : TsPackets(0x45, Pes(header, audio[a].payload), nAudioCounter))
                packets.push_back(std::move(p));
            a++;
        }
    }
    return Concat(packets);
}

Bytes ProgramStreamOf(const std::vector<Unit>& video, const std::vector<Unit>& audio) {
    PsMuxer mux(PsOptions{});
    size_t a = 0;
    for (size_t v = 0; v < video.size() || a < audio.size(); v++) {
        if (v < video.size()) mux.AddVideo(video[v].payload, video[v].pts);
        while (a < audio.size() && (v + 1 >= video.size() || audio[a].pts <= video[v].pts)) {
            mux.AddAudio(audio[a].payload, audio[a].pts);
            a++;
        }
    }
    return mux.Finish();
}

std::vector<Delivered> ReceivedBy(host::CSampleSink* sink) {
    std::vector<Delivered> out;
    if (!sink) return out;
    for (const host::ReceivedSample& s : sink->Samples()) {
        // A start time and no stop time, or no time at all (a unit whose packet's time an
        // earlier unit took).
        EXPECT_TRUE(s.hrTime == VFW_S_NO_STOP_TIME || s.hrTime == VFW_E_SAMPLE_TIME_NOT_SET) << s.hrTime;
        const bool bTime = s.hrTime == VFW_S_NO_STOP_TIME;
        out.push_back({s.data, bTime ? s.start : 0, 0, 0, s.bSyncPoint, bTime});
    }
    return out;
}

HRESULT ReceiveOnInput(IPin* pInput, const Bytes& data) {
    IMemInputPin* pMem = nullptr;
    HRESULT hr = pInput->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&pMem));
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return hr;
    FakeSample sample(data);
    hr = pMem->Receive(&sample);
    pMem->Release();
    return hr;
}

} // namespace demuxtest
