// The demultiplexer plug-in as a graph sees it: registered in the test's host root, made by
// class id, connected to real filters. Pins and types, the device query, whole runs to
// completion, and the behaviour under slow, stuck or missing consumers and at stop.
#include "filter_test_util.h"

#include "demux/demuxfilter.h"
#include "demux/mediatypes.h"
#include "host/device_filter.h"
#include "host/filter_registry.h"
#include "plat/com.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

using namespace demuxtest;
using namespace std::chrono_literals;

#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::vector<CMediaType> TypesOf(IPin* pin) {
    std::vector<CMediaType> types;
    IEnumMediaTypes* pEnum = nullptr;
    EXPECT_EQ(pin->EnumMediaTypes(&pEnum), S_OK);
    if (!pEnum) return types;
    AM_MEDIA_TYPE* pmt = nullptr;
    while (pEnum->Next(1, &pmt, nullptr) == S_OK) {
        types.emplace_back(*pmt);
        DeleteMediaType(pmt);
    }
    pEnum->Release();
    return types;
}

const VIDEOINFOHEADER& VideoInfo(const CMediaType& mt) {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(mt.Format());
}

const WAVEFORMATEX& WaveFormat(const CMediaType& mt) { return *reinterpret_cast<const WAVEFORMATEX*>(mt.Format()); }

std::vector<BYTE> AudioConfig(const CMediaType& mt) {
    return std::vector<BYTE>(mt.Format() + sizeof(WAVEFORMATEX), mt.Format() + mt.FormatLength());
}

ALLOCATOR_PROPERTIES AllocatorOf(IPin* pSinkPin) {
    ALLOCATOR_PROPERTIES props{};
    IMemInputPin* pMem = nullptr;
    IMemAllocator* pAlloc = nullptr;
    EXPECT_EQ(pSinkPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&pMem)), S_OK);
    EXPECT_EQ(pMem->GetAllocator(&pAlloc), S_OK);
    pAlloc->GetProperties(&props);
    pAlloc->Release();
    pMem->Release();
    return props;
}

TEST(DemuxRegistration, FilesTheClassAndItsPinsAndRemovesThemAgain) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(RegisterDemuxModule(), S_OK);

    host::RegisteredFilter filter;
    ASSERT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_DemuxFilter, &filter), S_OK);
    EXPECT_EQ(filter.name, u"Trelvan PS TS Demux");
    EXPECT_EQ(filter.merit, 0x600000u);
    ASSERT_EQ(filter.pins.size(), 3u);
    EXPECT_TRUE(filter.pins[0].output && !filter.pins[0].rendered);
    ASSERT_EQ(filter.pins[0].types.size(), 3u);
    EXPECT_EQ(filter.pins[0].types[2].minor, MEDIASUBTYPE_H264_Offered);
    EXPECT_TRUE(filter.pins[1].output);
    EXPECT_EQ(filter.pins[1].types[0].minor, MEDIASUBTYPE_RAW_AAC1);
    EXPECT_TRUE(!filter.pins[2].output && filter.pins[2].rendered);
    ASSERT_EQ(filter.pins[2].types.size(), 1u);
    EXPECT_EQ(filter.pins[2].types[0].minor, MEDIASUBTYPE_MPEG2_PROGRAM);

    IBaseFilter* demux = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DemuxFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&demux)),
              S_OK);
    EXPECT_EQ(demux->Release(), 0u);
    CoFreeUnusedLibraries();

    ASSERT_EQ(RegisterDemuxModule(false), S_OK);
    EXPECT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_DemuxFilter, &filter),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CoCreateInstance(CLSID_DemuxFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&demux)),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
}

TEST_F(DemuxGraphTest, PinsOfferTheirTypesAndAskForTheirBuffers) {
    IEnumPins* pEnum = nullptr;
    ASSERT_EQ(demux->EnumPins(&pEnum), S_OK);
    IPin* pins[4] = {};
    ULONG cFetched = 0;
    EXPECT_EQ(pEnum->Next(4, pins, &cFetched), S_FALSE);
    pEnum->Release();
    ASSERT_EQ(cFetched, 3u);
    EXPECT_EQ(pins[0], video);
    EXPECT_EQ(pins[1], audio);
    EXPECT_EQ(pins[2], input);
    for (ULONG i = 0; i < cFetched; i++)
        pins[i]->Release();

    std::vector<CMediaType> videoTypes = TypesOf(video);
    ASSERT_EQ(videoTypes.size(), 3u);
    EXPECT_EQ(*videoTypes[0].Subtype(), MEDIASUBTYPE_AVC1);
    EXPECT_EQ(*videoTypes[1].Subtype(), MEDIASUBTYPE_H264);
    EXPECT_EQ(*videoTypes[2].Subtype(), MEDIASUBTYPE_H264_Offered);
    EXPECT_EQ(video->QueryAccept(&videoTypes[1]), S_OK);
    EXPECT_EQ(video->QueryAccept(&videoTypes[2]), S_FALSE) << "offered but never accepted";
    EXPECT_EQ(VideoInfo(videoTypes[0]).bmiHeader.biWidth, 1280);
    EXPECT_EQ(VideoInfo(videoTypes[0]).bmiHeader.biSizeImage, 2764800u);
    EXPECT_EQ(VideoInfo(videoTypes[0]).AvgTimePerFrame, 330);

    std::vector<CMediaType> audioTypes = TypesOf(audio);
    ASSERT_EQ(audioTypes.size(), 1u);
    EXPECT_EQ(WaveFormat(audioTypes[0]).nSamplesPerSec, 48000u);
    EXPECT_EQ(AudioConfig(audioTypes[0]), (std::vector<BYTE>{0x11, 0x90}));

    CMediaType transport(&MEDIATYPE_Stream);
    transport.SetSubtype(&MEDIASUBTYPE_MPEG2_TRANSPORT);
    EXPECT_EQ(input->QueryAccept(&transport), S_OK) << "registered for program streams, takes both";
    CMediaType other(&MEDIATYPE_Video);
    EXPECT_EQ(input->QueryAccept(&other), S_FALSE);

    AddSinks();
    ALLOCATOR_PROPERTIES videoProps = AllocatorOf(videoSink->GetPin(0));
    EXPECT_EQ(videoProps.cBuffers, 24);
    EXPECT_EQ(videoProps.cbBuffer, 786432);
    ALLOCATOR_PROPERTIES audioProps = AllocatorOf(audioSink->GetPin(0));
    EXPECT_EQ(audioProps.cBuffers, 2);
    EXPECT_EQ(audioProps.cbBuffer, 32768);
}

TEST_F(DemuxGraphTest, ConnectionReadsPictureSizeAndAudioRateFromTheDevice) {
    auto model = std::make_shared<host::DeviceModel>();
    CDeviceStandIn* device = CDeviceStandIn::Create(model);
    Add(device, u"Device");
    AddSinks();
    struct Case {
        DWORD nCode;
        DWORD nRate;
        std::vector<BYTE> config;
    } cases[] = {{4, 22050, {0x13, 0x90}}, {7, 48000, {0x11, 0x90}}, {9, 88200, {0x10, 0x90}}, {0, 44100, {0x12, 0x10}}};
    for (const Case& c : cases) {
        model->Store(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, HDC_AUDIO_RATE_OFFSET, c.nCode);
        model->ClearCalls();
        Connect(device->GetPin(0), input);
        CMediaType mt = TypesOf(audio).at(0);
        EXPECT_EQ(WaveFormat(mt).nSamplesPerSec, c.nRate) << "code " << c.nCode;
        EXPECT_EQ(AudioConfig(mt), c.config) << "code " << c.nCode;
        // The running audio connection's type is the one made before; a new one takes the rate.
        ASSERT_EQ(graph->Disconnect(input), S_OK);
        ASSERT_EQ(graph->Disconnect(device->GetPin(0)), S_OK);
    }
    CMediaType mt = TypesOf(video).at(0);
    EXPECT_EQ(VideoInfo(mt).bmiHeader.biWidth, 1920);
    EXPECT_EQ(VideoInfo(mt).bmiHeader.biHeight, 1080);

    // Support is asked first, then one buffer serves as both instance and property data.
    std::vector<host::PropertyCall> calls = model->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].access, host::PropertyAccess::QuerySupported);
    EXPECT_EQ(calls[0].id, HDC_ENCODER_PICTURE_SIZE);
    EXPECT_EQ(calls[1].access, host::PropertyAccess::Get);
    EXPECT_EQ(calls[1].instanceSize, 16u);
    EXPECT_EQ(calls[1].dataSize, 16u);
    EXPECT_EQ(calls[3].id, HDC_ENCODER_AUDIO);
    EXPECT_EQ(calls[3].instanceSize, 68u);
    EXPECT_EQ(calls[3].dataSize, 68u);
}

TEST_F(DemuxGraphTest, ADeviceThatRefusesOrHasNoPropertySetStillConnects) {
    auto model = std::make_shared<host::DeviceModel>();
    model->Store(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, HDC_AUDIO_RATE_OFFSET, 4);
    model->Refuse(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, host::PropertyAccess::Get, E_FAIL);
    CDeviceStandIn* device = CDeviceStandIn::Create(model);
    Add(device, u"Device");
    Connect(device->GetPin(0), input);
    EXPECT_EQ(WaveFormat(TypesOf(audio).at(0)).nSamplesPerSec, 48000u) << "a refused get keeps the rate";
    EXPECT_EQ(VideoInfo(TypesOf(video).at(0)).bmiHeader.biWidth, 1920) << "the size was still read";

    ASSERT_EQ(graph->Disconnect(input), S_OK);
    ASSERT_EQ(graph->Disconnect(device->GetPin(0)), S_OK);
    model->ClearRefusals();
    model->FailQueryInterface(IID_IKsPropertySet);
    model->ClearCalls();
    Connect(device->GetPin(0), input);
    EXPECT_TRUE(model->Calls().empty());
    EXPECT_EQ(WaveFormat(TypesOf(audio).at(0)).nSamplesPerSec, 48000u);

    ASSERT_EQ(graph->Disconnect(input), S_OK);
    ASSERT_EQ(graph->Disconnect(device->GetPin(0)), S_OK);
    device->bClaimPropertySetOnly = true;
    Connect(device->GetPin(0), input);
    EXPECT_EQ(WaveFormat(TypesOf(audio).at(0)).nSamplesPerSec, 48000u) << "claimed but not given is no interface";
}

TEST_F(DemuxGraphTest, ATransportStreamRunsToCompletionWithItsLastRecords) {
    std::vector<Unit> videoUnits = VideoUnits(40);
    std::vector<Unit> audioUnits = AudioUnits(30);
    host::CFileSource* source = AddSource(TransportStreamOf(videoUnits, audioUnits), 4096);
    AddSinks();
    EXPECT_EQ(RunToCompletion(), EC_COMPLETE);
    EXPECT_TRUE(videoSink->EndOfStreamSeen());
    EXPECT_TRUE(audioSink->EndOfStreamSeen());
    EXPECT_EQ(source->SamplesRefused(), 0);
    std::vector<Delivered> videoOut = ReceivedBy(videoSink);
    ExpectVideo(videoOut, videoUnits);
    ExpectAudio(ReceivedBy(audioSink), audioUnits);
    for (size_t i = 0; i < videoOut.size(); i++)
        EXPECT_EQ(videoOut[i].bSync, i % 5 == 0) << "key frames begin with a sequence parameter set";
}

// Packs as program-stream muxers cut them: no alignment bit, units and ADTS frames running
// across packets. Through the graph each arrives once and whole, a unit timed by the packet it
// is the first to begin in and untimed otherwise.
TEST_F(DemuxGraphTest, AnUnalignedProgramStreamDeliversEveryUnitOnceAndWhole) {
    std::vector<CutUnit> units, frames;
    Bytes ps = Concat({CutIntoPackets(0xE0, UnitsWithoutDelimiters(13), 333, false, &units),
                       CutIntoPackets(0xC0, VariedAdtsFrames(40), 50, false, &frames)});
    AddSource(ps, 2048);
    AddSinks();
    EXPECT_EQ(RunToCompletion(), EC_COMPLETE);
    ExpectCutUnits(ReceivedBy(videoSink), units);
    ExpectCutFrames(ReceivedBy(audioSink), frames);
}

TEST_F(DemuxGraphTest, AProgramStreamRunsToCompletionWithItsLastRecords) {
    std::vector<Unit> videoUnits = VideoUnits(25, 3000);
    std::vector<Unit> audioUnits = AudioUnits(20);
    host::CFileSource* source = AddSource(ProgramStreamOf(videoUnits, audioUnits), 1000);
    AddSinks();
    EXPECT_EQ(RunToCompletion(), EC_COMPLETE);
    EXPECT_EQ(source->SamplesRefused(), 0);
    ExpectVideo(ReceivedBy(videoSink), videoUnits);
    ExpectAudio(ReceivedBy(audioSink), audioUnits);
}

// Far more records than the pools hold arrive in one input sample, and downstream takes its
// time: the parser waits for records instead of dropping them.
TEST_F(DemuxGraphTest, ASlowConsumerLosesNothing) {
    std::vector<Unit> videoUnits = VideoUnits(200, 300);
    std::vector<Unit> audioUnits = AudioUnits(200);
    Bytes ts = TransportStreamOf(videoUnits, audioUnits);
    host::CFileSource* source = AddSource(ts, static_cast<LONG>(ts.size()));
    host::SampleSinkOptions slow;
    slow.dwReceiveDelayMs = 1;
    AddSinks(slow);
    EXPECT_EQ(RunToCompletion(60000), EC_COMPLETE);
    EXPECT_EQ(source->SamplesRefused(), 0);
    ExpectVideo(ReceivedBy(videoSink), videoUnits);
    ExpectAudio(ReceivedBy(audioSink), audioUnits);
}

// Stopped, nothing takes records away, and the start that finds none free is an error.
TEST_F(DemuxGraphTest, AStoppedFilterFailsTheStartThatFindsNoFreeRecord) {
    AddSinks();
    EXPECT_EQ(ReceiveOnInput(input, TransportStreamOf(VideoUnits(91, 100), {})), S_FALSE)
        << "the 91st video start finds the 90 records filled";
}

TEST_F(DemuxGraphTest, StopEndsAParserWaitingForARecordAndAWorkerWaitingForABuffer) {
    std::vector<Unit> videoUnits = VideoUnits(300, 200);
    Bytes ts = TransportStreamOf(videoUnits, {});
    AddSource(ts, static_cast<LONG>(ts.size()));
    CHoardingSink* hoarder = CHoardingSink::Create();
    Add(hoarder, u"Hoarder");
    Connect(video, hoarder->GetPin(0));
    ASSERT_EQ(control->Run(), S_OK);
    // 24 buffers held downstream, 90 records filled: the worker has no buffer and the parser
    // no record.
    ASSERT_TRUE(hoarder->WaitForHeld(24, 10000));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(hoarder->Held(), 24u);

    ExpectStopsInTime(control);
    hoarder->LetGo();
}

// Without the release callback the worker waits inside GetBuffer, where it hears no command:
// stopping must still end that wait. An allocator that claims the callback without giving it
// is used as one without it.
class DemuxPlainAllocatorTest : public DemuxGraphTest, public testing::WithParamInterface<bool> {};

TEST_P(DemuxPlainAllocatorTest, StopEndsAWorkerWaitingInsideGetBuffer) {
    AddSource(TransportStreamOf(VideoUnits(100, 200), {}));
    CPlainAllocator* allocator = CPlainAllocator::Create();
    allocator->bClaimCallbackOnly = GetParam();
    CHoardingSink* hoarder = CHoardingSink::Create(allocator);
    allocator->Release();
    Add(hoarder, u"Hoarder");
    Connect(video, hoarder->GetPin(0));
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(allocator->WaitForBlockedGet(10000)) << "the worker never ran out of buffers";
    EXPECT_EQ(hoarder->Held(), 24u);

    // The demultiplexer alone stops: the running sink keeps its buffers and does not decommit.
    ExpectStopsInTime(demux);
    EXPECT_EQ(hoarder->Held(), 24u);
    hoarder->LetGo();
}

INSTANTIATE_TEST_SUITE_P(Allocator, DemuxPlainAllocatorTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "ClaimingTheCallbackOnly"
                                                           : "WithoutTheCallback");
                         });

// Downstream samples whose GetPointer fails: one fresh sample is tried, then the run is reported
// as aborted with the failure's code instead of the worker spinning on new samples.
TEST_F(DemuxGraphTest, SamplesThatKeepFailingEndTheRunWithTheirError) {
    AddSource(TransportStreamOf(VideoUnits(10), {}));
    CPlainAllocator* allocator = CPlainAllocator::Create(true, E_ACCESSDENIED);
    CHoardingSink* hoarder = CHoardingSink::Create(allocator);
    Add(hoarder, u"Hoarder");
    Connect(video, hoarder->GetPin(0));
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(WaitForEvent(EC_ERRORABORT), E_ACCESSDENIED);
    EXPECT_EQ(allocator->GetBufferCalls(), 2);
    EXPECT_EQ(hoarder->Held(), 0u);
    ExpectStopsInTime(control);
    EXPECT_EQ(allocator->GetBufferCalls(), 2) << "no sample is asked for after the abort";
    allocator->Release();
}

// The file source reads into each sample's buffer: a sample without one ends the run with the
// sample's own failure, not a read fault.
TEST_F(DemuxGraphTest, TheFileSourceReportsASampleWithoutABuffer) {
    std::string path = testing::TempDir() + "demux-filter-pointer-" + std::to_string(getpid()) + ".ts";
    WriteFile(path, TransportStreamOf(VideoUnits(3), {}));
    m_files.push_back(path);
    host::CFileSource* source = nullptr;
    std::string why;
    ASSERT_EQ(host::CFileSource::Create(path, host::FileSourceOptions{}, &source, &why), S_OK) << why;
    Add(source, u"Source");
    CPlainAllocator* allocator = CPlainAllocator::Create(true, E_ACCESSDENIED);
    CHoardingSink* hoarder = CHoardingSink::Create(allocator);
    allocator->Release();
    Add(hoarder, u"Hoarder");
    Connect(source->GetPin(0), hoarder->GetPin(0));
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(WaitForEvent(EC_ERRORABORT), E_ACCESSDENIED);
    EXPECT_EQ(hoarder->Held(), 0u);
    EXPECT_EQ(control->Stop(), S_OK);
}

// Downstream holds every buffer and the pool is full, so the parser waits for a free record
// inside the upstream's Receive: a flush must end that wait, and each later start fails at
// once until the flush ends.
TEST_F(DemuxGraphTest, BeginFlushEndsAParserWaitingForAFreeRecord) {
    host::CFileSource* source = AddSource(TransportStreamOf(VideoUnits(300, 200), {}), 8192);
    CHoardingSink* hoarder = CHoardingSink::Create();
    Add(hoarder, u"Hoarder");
    Connect(video, hoarder->GetPin(0));
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(hoarder->WaitForHeld(24, 10000));
    EXPECT_FALSE(source->EndOfStreamSent());

    ASSERT_EQ(input->BeginFlush(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return source->EndOfStreamSent(); }))
        << "the upstream is still stuck in Receive";
    EXPECT_GT(source->SamplesRefused(), 0);
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_EQ(control->Stop(), S_OK);
    hoarder->LetGo();
}

// What was parsed while stopped waits in the filled queues; the filter's Run empties them,
// so the run that follows delivers none of it.
TEST_F(DemuxGraphTest, RunEmptiesTheFilledQueues) {
    AddSinks();
    EXPECT_EQ(ReceiveOnInput(input, TransportStreamOf(VideoUnits(10), AudioUnits(6))), S_OK);
    EXPECT_EQ(input->EndOfStream(), S_OK) << "closes the last records into the filled queues";

    // The sinks run first so that anything the workers delivered would be counted.
    for (host::CSampleSink* sink : {videoSink, audioSink})
        ASSERT_EQ(sink->Run(0), S_OK);
    ASSERT_EQ(demux->Run(0), S_OK);
    ASSERT_EQ(input->EndOfStream(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return videoSink->EndOfStreamSeen() && audioSink->EndOfStreamSeen(); }));
    EXPECT_EQ(videoSink->SampleCount(), 0u);
    EXPECT_EQ(audioSink->SampleCount(), 0u);
    EXPECT_EQ(demux->Stop(), S_OK);
    for (host::CSampleSink* sink : {videoSink, audioSink})
        EXPECT_EQ(sink->Stop(), S_OK);
}

// The parser asks whether a stream's pin is connected on the streaming thread while the
// control thread connects and disconnects it (stopped, samples are still parsed). Races here
// show under the thread sanitizer.
TEST_F(DemuxGraphTest, ConnectingAPinWhileSamplesArriveIsSafe) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Add(sink, u"Audio sink");
    IPin* sinkPin = sink->GetPin(0);
    IMemInputPin* pMem = nullptr;
    ASSERT_EQ(input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&pMem)), S_OK);
    Bytes ts = TransportStreamOf({}, AudioUnits(20));
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        FakeSample sample(ts);
        while (!done)
            pMem->Receive(&sample);
    });
    for (int i = 0; i < 50; i++) {
        EXPECT_EQ(graph->ConnectDirect(audio, sinkPin, nullptr), S_OK);
        EXPECT_EQ(graph->Disconnect(audio), S_OK);
        EXPECT_EQ(graph->Disconnect(sinkPin), S_OK);
    }
    done = true;
    feeder.join();
    pMem->Release();
}

// With nothing connected to the audio pin, audio records go straight back to the pool.
TEST_F(DemuxGraphTest, AnUnconnectedPinNeverHoldsUpTheOther) {
    std::vector<Unit> videoUnits = VideoUnits(20);
    std::vector<Unit> audioUnits = AudioUnits(150);
    Bytes ts = TransportStreamOf(videoUnits, audioUnits);
    host::CFileSource* source = AddSource(ts, static_cast<LONG>(ts.size()));
    AddSinks({}, false);
    EXPECT_EQ(RunToCompletion(), EC_COMPLETE);
    EXPECT_EQ(source->SamplesRefused(), 0);
    ExpectVideo(ReceivedBy(videoSink), videoUnits);
}

// The virtual device streaming in real time: the demultiplexer types its pins from the
// device's settings and splits what the device encodes.
TEST_F(DemuxGraphTest, SplitsTheVirtualDevicesLiveStream) {
    auto model = std::make_shared<host::DeviceModel>();
    model->Store(PROPSETID_HDC_ENCODER, HDC_ENCODER_PICTURE_SIZE, 0, 320);
    model->Store(PROPSETID_HDC_ENCODER, HDC_ENCODER_PICTURE_SIZE, 4, 240);
    model->Store(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, HDC_AUDIO_RATE_OFFSET, 0);
    IBaseFilter* device = nullptr;
    ASSERT_EQ(host::CreateDeviceFilter(model, &device), S_OK);
    Add(device, u"Source");
    IPin* capture = nullptr;
    ASSERT_EQ(device->FindPin(host::kDeviceCapturePinName, &capture), S_OK);
    Connect(capture, input);
    capture->Release();
    AddSinks();
    EXPECT_EQ(VideoInfo(ConnectionType(video)).bmiHeader.biWidth, 320);
    CMediaType audioType = ConnectionType(audio);
    EXPECT_EQ(WaveFormat(audioType).nSamplesPerSec, 44100u);
    EXPECT_EQ(AudioConfig(audioType), (std::vector<BYTE>{0x12, 0x10}));

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(videoSink->WaitForSamples(20, 30000));
    EXPECT_TRUE(audioSink->WaitForSamples(20, 30000));
    ExpectStopsInTime(control);

    std::vector<Delivered> videoOut = ReceivedBy(videoSink);
    ASSERT_FALSE(videoOut.empty());
    EXPECT_TRUE(videoOut[0].bSync) << "the stream starts at a key frame";
    for (size_t i = 1; i < videoOut.size(); i++)
        EXPECT_GT(videoOut[i].rtStart, videoOut[i - 1].rtStart) << i;
    std::vector<Delivered> audioOut = ReceivedBy(audioSink);
    for (size_t i = 1; i < audioOut.size(); i++) {
        // 1024 samples at 44.1 kHz, or the next PES's own time stamp.
        EXPECT_NEAR(static_cast<double>(audioOut[i].rtStart - audioOut[i - 1].rtStart), 232199.0, 2000.0) << i;
    }
}

// Workers that polled with sleeps would need more than a millisecond a sample.
TEST_F(DemuxGraphTest, DeliveryKeepsUpWithTheInputWithoutPolling) {
    std::vector<Unit> videoUnits = VideoUnits(2000, 200);
    std::vector<Unit> audioUnits = AudioUnits(300);
    host::CFileSource* source = AddSource(TransportStreamOf(videoUnits, audioUnits));
    AddSinks();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunToCompletion(), EC_COMPLETE);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(source->SamplesRefused(), 0);
    EXPECT_EQ(videoSink->SampleCount(), 2000u);
    EXPECT_EQ(audioSink->SampleCount(), 900u);
    if (!kSanitized) EXPECT_LT(elapsed, 1200ms) << "2000 video samples";
}

} // namespace
