// The device filter on its own: its pin, types and category, its property interfaces and pages,
// and how it streams into a graph: pacing, pause, stop, and downstream filters that misbehave.
#include "device_test_support.h"
#include "stubborn_sink.h"

#include "YRA_HD_Capture_SDK.h"
#include "framework/mtype.h"
#include "plat/ks.h"
#include "plat/registry.h"
#include "testing/sample_sink.h"

#include <gmock/gmock.h>

#include <chrono>
#include <set>
#include <thread>

namespace device_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The device stops within milliseconds; the rest of the bound is for loaded machines.
constexpr auto kPromptStop = 100ms;

ComPtr<IPin> OutputPin(IBaseFilter* filter) {
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin(host::kDeviceCapturePinName, pin.Receive()), S_OK);
    return pin;
}

// A device filter and a sink in a graph of their own.
class DeviceGraphTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        device = NewDeviceFilter();
        ASSERT_EQ(WriteSettings(device.Get(), {}), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.ReceiveVoid()), S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, events.ReceiveVoid()), S_OK);
        ASSERT_EQ(graph->AddFilter(device.Get(), u"Source"), S_OK);
    }
    void TearDown() override {
        if (control) control->Stop();
        events.Reset();
        control.Reset();
        graph.Reset();
        ComTest::TearDown();
    }

    void Connect(CBaseFilter* sink) {
        ASSERT_EQ(graph->AddFilter(sink, u"Sink"), S_OK);
        ASSERT_EQ(graph->Connect(OutputPin(device.Get()).Get(), sink->GetPin(0)), S_OK);
    }

    // Runs until the device has its stream ready, so that timing starts from a warm encoder.
    void RunWarm() {
        ASSERT_EQ(control->Pause(), S_OK);
        const auto deadline = Clock::now() + 60s;
        while (!Stats().streamReady && Clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(Stats().streamReady);
        ASSERT_EQ(control->Run(), S_OK);
    }

    host::DeviceStreamStats Stats() { return *host::DeviceStreamStatsOf(device.Get()); }

    std::optional<LONG_PTR> EventSoon(LONG code, LONG ms) {
        LONG got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (events->GetEvent(&got, &p1, &p2, ms) == S_OK)
            if (got == code) return p1;
        return std::nullopt;
    }

    ComPtr<IBaseFilter> device;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
};

// ---- identity, pin and types -----------------------------------------------------------------

TEST_F(ComTest, TheCapturePinOffersATransportStreamInTheCaptureCategory) {
    ComPtr<IBaseFilter> device = NewDeviceFilter();
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(device->EnumPins(pins.Receive()), S_OK);
    IPin* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    ComPtr<IPin> pin = ComPtr<IPin>::Adopt(got[0]);
    PIN_DIRECTION dir = PINDIR_INPUT;
    EXPECT_EQ(pin->QueryDirection(&dir), S_OK);
    EXPECT_EQ(dir, PINDIR_OUTPUT);

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Receive()), S_OK);
    AM_MEDIA_TYPE* pmt = nullptr;
    ASSERT_EQ(types->Next(1, &pmt, nullptr), S_OK);
    EXPECT_EQ(pmt->majortype, MEDIATYPE_Stream);
    EXPECT_EQ(pmt->subtype, MEDIASUBTYPE_MPEG2_TRANSPORT);
    DeleteMediaType(pmt);
    EXPECT_EQ(types->Next(1, &pmt, nullptr), S_FALSE);

    ComPtr<IKsPropertySet> pinProps;
    ASSERT_EQ(pin->QueryInterface(IID_IKsPropertySet, pinProps.ReceiveVoid()), S_OK);
    GUID category{};
    DWORD returned = 0;
    EXPECT_EQ(pinProps->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                            &returned),
              S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
    EXPECT_EQ(returned, sizeof(GUID));
    EXPECT_EQ(pinProps->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category),
              E_PROP_ID_UNSUPPORTED);

    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICaptureGraphBuilder2, builder.ReceiveVoid()),
              S_OK);
    ComPtr<IPin> found;
    EXPECT_EQ(builder->FindPin(device.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Stream, TRUE, 0,
                               found.Receive()),
              S_OK);
    EXPECT_EQ(found.Get(), pin.Get());
}

TEST_F(ComTest, TheFilterItselfAnswersTheDevicePropertyInterfaces) {
    auto model = std::make_shared<host::DeviceModel>();
    ComPtr<IBaseFilter> device;
    ASSERT_EQ(host::CreateDeviceFilter(model, device.Receive()), S_OK);
    ComPtr<IKsPropertySet> props;
    ComPtr<IKsControl> control;
    ASSERT_EQ(device->QueryInterface(IID_IKsPropertySet, props.ReceiveVoid()), S_OK);
    ASSERT_EQ(device->QueryInterface(IID_IKsControl, control.ReceiveVoid()), S_OK);
    EXPECT_EQ(host::IdentityOf(props.Get()), host::IdentityOf(device.Get()));
    EXPECT_EQ(host::IdentityOf(control.Get()), host::IdentityOf(device.Get()));
    EXPECT_EQ(host::DeviceModelOf(props.Get()), model);

    DWORD support = 0;
    EXPECT_EQ(props->QuerySupported(PROPSETID_HDC_ENCODER, 8, &support), S_OK);
    BYTE size[16] = {};
    DWORD returned = 0;
    EXPECT_EQ(props->Get(PROPSETID_HDC_ENCODER, 8, size, sizeof size, size, sizeof size, &returned), S_OK);
    EXPECT_EQ(model->Calls().size(), 2u);

    ComPtr<IBaseFilter> dump;
    ASSERT_EQ(CoCreateInstance(CLSID_YRA_HD_Capture_Dump, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               dump.ReceiveVoid()),
              S_OK);
    EXPECT_EQ(host::DeviceModelOf(dump.Get()), nullptr);
    EXPECT_FALSE(host::DeviceStreamStatsOf(dump.Get()).has_value());
}

TEST_F(ComTest, InjectedFaultsReachTheSdkWithTheirExactCodes) {
    ComPtr<IBaseFilter> device = NewDeviceFilter();
    auto model = host::DeviceModelOf(device.Get());
    HDC_FILTER_PARAM param{};

    model->Refuse(PROPSETID_HDC_ENCODER, 12, host::PropertyAccess::Get, static_cast<HRESULT>(0x8007001F));
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(device.Get(), &param), static_cast<HRESULT>(0x8007001F));
    model->ClearRefusals();
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device.Get(), &param), S_OK);

    model->Refuse(PROPSETID_HDC_ENCODER, 8, host::PropertyAccess::Set, static_cast<HRESULT>(0x80070015));
    EXPECT_EQ(YRA_HDC_SDK_SetFilterParam(device.Get(), &param), static_cast<HRESULT>(0x80070015));
    model->ClearRefusals();

    model->FailQueryInterface(IID_IKsPropertySet, static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(YRA_HDC_SDK_InitializeFilterParam(device.Get()), static_cast<HRESULT>(0x80004005));
    int major = 0, minor = 0;
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.Get(), &major, &minor), static_cast<HRESULT>(0x80004005));
    ComPtr<IKsControl> control;
    EXPECT_EQ(device->QueryInterface(IID_IKsControl, control.ReceiveVoid()), S_OK);
    model->FailQueryInterface(IID_IKsControl);
    EXPECT_EQ(device->QueryInterface(IID_IKsControl, control.ReceiveVoid()), E_NOINTERFACE);
    model->ClearInterfaceFaults();
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(device.Get(), &major, &minor), S_OK);
}

// ---- extension pages -------------------------------------------------------------------------

void FilePage(const GUID& set, const char16_t* clsid) {
    WCHAR setText[39] = {};
    StringFromGUID2(set, setText, 39);
    const std::u16string path = std::u16string(u"System\\CurrentControlSet\\Control\\MediaSets\\") + setText +
                                u"\\PropertyPages\\" + clsid;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::vector<GUID> PagesOf(IBaseFilter* device) {
    ComPtr<ISpecifyPropertyPages> specify;
    EXPECT_EQ(device->QueryInterface(IID_ISpecifyPropertyPages, specify.ReceiveVoid()), S_OK);
    CAUUID pages{99, reinterpret_cast<GUID*>(0x1)};
    EXPECT_EQ(specify->GetPages(&pages), S_OK);
    std::vector<GUID> result(pages.pElems, pages.pElems + pages.cElems);
    CoTaskMemFree(pages.pElems);
    return result;
}

TEST_F(ComTest, PropertyPagesAreThoseFiledUnderTheDevicesPropertySets) {
    ComPtr<IBaseFilter> device = NewDeviceFilter();
    EXPECT_TRUE(PagesOf(device.Get()).empty());

    const GUID video = {0xACD9F33F, 0x2640, 0x41C8, {0xA3, 0x2F, 0x04, 0x4D, 0x1D, 0xD5, 0x17, 0x0A}};
    const GUID power = {0x823FD921, 0x7263, 0x4C07, {0x96, 0x34, 0xFC, 0x02, 0xF4, 0x8D, 0xFE, 0x4B}};
    const GUID other = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
    const GUID unknownSet = {0x99999999, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
    FilePage(PROPSETID_VIDCAP_VIDEOPROCAMP, u"{ACD9F33F-2640-41C8-A32F-044D1DD5170A}");
    FilePage(PROPSETID_VIDCAP_VIDEOPROCAMP, u"{823FD921-7263-4C07-9634-FC02F48DFE4B}");
    FilePage(PROPSETID_HDC_ENCODER, u"{ACD9F33F-2640-41C8-A32F-044D1DD5170A}");
    FilePage(PROPSETID_HDC_ENCODER, u"not a class id");
    FilePage(unknownSet, u"{11111111-2222-3333-4444-555555555555}");

    const std::vector<GUID> pages = PagesOf(device.Get());
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), video), 1);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), power), 1);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), other), 0);
}

// ---- streaming -------------------------------------------------------------------------------

TEST_F(DeviceGraphTest, DeliversWholePacketsWithTimesAndSyncPointsInRealTime) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    RunWarm();
    const auto started = Clock::now();
    std::this_thread::sleep_for(1s);
    const auto samples = sink->Samples();
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    control->Stop();
    sink->Release();

    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples.front().start, 0);
    EXPECT_TRUE(samples.front().bSyncPoint); // the stream begins with a key frame
    REFERENCE_TIME previousStart = 0;
    std::set<REFERENCE_TIME> frames;
    for (const auto& s : samples) {
        ASSERT_FALSE(s.data.empty());
        ASSERT_EQ(s.data.size() % 188, 0u);
        for (size_t i = 0; i < s.data.size(); i += 188)
            ASSERT_EQ(s.data[i], 0x47);
        ASSERT_EQ(s.hrTime, S_OK);
        ASSERT_GE(s.start, previousStart);
        ASSERT_GT(s.stop, s.start);
        previousStart = s.start;
        frames.insert(s.start);
    }
    // 15 frames a second, paced by the graph's clock: neither a burst nor a stall.
    const double expected = elapsed * 15;
    EXPECT_GE(static_cast<double>(frames.size()), expected - 4);
    EXPECT_LE(static_cast<double>(frames.size()), expected + 2);
    const auto stats = Stats();
    EXPECT_EQ(stats.samplesDelivered, samples.size());
    EXPECT_EQ(stats.lastDeliverResult, S_OK);
    EXPECT_EQ(stats.streamingError, S_OK);
}

TEST_F(DeviceGraphTest, PausingHoldsDeliveryAndStreamTime) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    RunWarm();
    ASSERT_TRUE(sink->WaitForSamples(3, 5000));
    ASSERT_EQ(control->Pause(), S_OK);
    FILTER_STATE state = State_Stopped;
    EXPECT_EQ(device->GetState(0, &state), VFW_S_CANT_CUE); // a live source cannot cue while paused
    EXPECT_EQ(state, State_Paused);
    std::this_thread::sleep_for(50ms); // a sample already on its way may still land
    const size_t atPause = sink->SampleCount();
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(sink->SampleCount(), atPause);

    // Stream time resumes where it stopped: no burst of the 600 ms spent paused.
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(200ms);
    const auto samples = sink->Samples();
    control->Stop();
    sink->Release();
    std::set<REFERENCE_TIME> framesAfter;
    for (size_t i = atPause; i < samples.size(); ++i)
        framesAfter.insert(samples[i].start);
    EXPECT_LE(framesAfter.size(), 5u); // 200 ms at 15 fps is 3 frames; 600 ms would add 9
    for (size_t i = 1; i < samples.size(); ++i)
        EXPECT_LE(samples[i].start - samples[i - 1].start, 700'000);
}

TEST_F(DeviceGraphTest, StopEndsStreamingPromptlyAndLeavesNoThread) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    RunWarm();
    ASSERT_TRUE(sink->WaitForSamples(2, 5000));
    control->Stop();
    const size_t threadsIdle = ThreadCount();

    RunWarm();
    ASSERT_TRUE(sink->WaitForSamples(6, 5000));
    EXPECT_EQ(ThreadCount(), threadsIdle + 1);
    const auto before = Clock::now();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_LT(Clock::now() - before, kPromptStop);
    EXPECT_EQ(ThreadCount(), threadsIdle);
    const size_t atStop = sink->SampleCount();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink->SampleCount(), atStop);
    sink->Release();
    EXPECT_FALSE(EventSoon(EC_ERRORABORT, 0));
}

TEST_F(DeviceGraphTest, StopDuringTheFirstEncodeIsPromptAndQuiet) {
    // Settings no other test uses, so that the run starts with an encode.
    ASSERT_EQ(WriteSettings(device.Get(), {1280, 720, 29, 4321, true, 0}), S_OK);
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    ASSERT_EQ(control->Run(), S_OK);
    std::this_thread::sleep_for(30ms);
    const auto before = Clock::now();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_LT(Clock::now() - before, kPromptStop);
    EXPECT_FALSE(EventSoon(EC_ERRORABORT, 0));
    sink->Release();
}

TEST_F(DeviceGraphTest, ADownstreamThatRefusesSamplesEndsTheRunQuietly) {
    CStubbornSink* sink = CStubbornSink::Create(SinkBehaviour::Refuse, static_cast<HRESULT>(0x8004022B));
    Connect(sink);
    RunWarm();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink->SamplesOffered(), 1); // the device stops pushing at the first refusal
    EXPECT_EQ(Stats().lastDeliverResult, static_cast<HRESULT>(0x8004022B));
    EXPECT_EQ(Stats().samplesDelivered, 0u);
    const auto before = Clock::now();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_LT(Clock::now() - before, kPromptStop);
    // The refusing filter reports its own failure; the device adds none.
    EXPECT_FALSE(EventSoon(EC_ERRORABORT, 0));
    sink->Release();
}

TEST_F(DeviceGraphTest, ADownstreamThatKeepsEverySampleCannotHoldUpTheStop) {
    CStubbornSink* sink = CStubbornSink::Create(SinkBehaviour::KeepSamples);
    Connect(sink);
    RunWarm();
    // Every buffer gets kept: the device ends up waiting for one that never comes back.
    const auto deadline = Clock::now() + 10s;
    while (sink->SamplesOffered() < 16 && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sink->SamplesOffered(), 16);
    const auto before = Clock::now();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_LT(Clock::now() - before, kPromptStop);
    EXPECT_FALSE(EventSoon(EC_ERRORABORT, 0));
    sink->Release();
}

TEST_F(DeviceGraphTest, ADownstreamThatBlocksInReceiveIsReleasedByTheGraphsStop) {
    CStubbornSink* sink = CStubbornSink::Create(SinkBehaviour::BlockUntilStopped);
    Connect(sink);
    RunWarm();
    const auto deadline = Clock::now() + 10s;
    while (sink->SamplesOffered() < 1 && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const auto before = Clock::now();
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_LT(Clock::now() - before, kPromptStop);
    sink->Release();
}

// A reference clock that cannot be read.
class BrokenClock final : public IReferenceClock {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IReferenceClock) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; } // lives on the test's stack
    HRESULT GetTime(REFERENCE_TIME*) override { return static_cast<HRESULT>(0x8004020B); }
    HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
    HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    HRESULT Unadvise(DWORD_PTR) override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> m_refs{1};
};

TEST_F(DeviceGraphTest, AStreamingFailureIsSentToTheGraphAsAnErrorAbort) {
    BrokenClock clock;
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    ComPtr<IMediaFilter> graphFilter;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, graphFilter.ReceiveVoid()), S_OK);
    ASSERT_EQ(graphFilter->SetSyncSource(&clock), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    const auto code = EventSoon(EC_ERRORABORT, 30000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(static_cast<HRESULT>(*code), static_cast<HRESULT>(0x8004020B));
    EXPECT_EQ(Stats().streamingError, static_cast<HRESULT>(0x8004020B));
    EXPECT_EQ(control->Stop(), S_OK);
    ASSERT_EQ(graphFilter->SetSyncSource(nullptr), S_OK);
    sink->Release();
}

TEST_F(DeviceGraphTest, WithoutAGraphClockTheDeviceKeepsItsOwnPace) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Connect(sink);
    ComPtr<IMediaFilter> graphFilter;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, graphFilter.ReceiveVoid()), S_OK);
    ASSERT_EQ(graphFilter->SetSyncSource(nullptr), S_OK);
    RunWarm();
    std::this_thread::sleep_for(600ms);
    std::set<REFERENCE_TIME> frames;
    for (const auto& s : sink->Samples())
        frames.insert(s.start);
    control->Stop();
    sink->Release();
    EXPECT_GE(frames.size(), 5u);
    EXPECT_LE(frames.size(), 13u);
}

} // namespace
} // namespace device_test
