#include "host/filter_registry.h"
#include "host/registry_store.h"
#include "test_filters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace testing_filters;

// Two output pins connected downstream and a third left unconnected.
class StateTest : public ::testing::Test {
protected:
    void SetUp() override {
        up = CTestFilter::Create(&log);
        down = CTestFilter::Create(nullptr);
        o0 = up->AddOutput(u"o0", "o0");
        o1 = up->AddOutput(u"o1", "o1");
        o2 = up->AddOutput(u"o2", "o2");
        CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
        ASSERT_EQ(o0->Connect(down->AddInput(u"i0", "i0"), &mt), S_OK);
        ASSERT_EQ(o1->Connect(down->AddInput(u"i1", "i1"), &mt), S_OK);
        log.Clear();
    }
    void TearDown() override {
        up->Stop();
        down->Stop();
        for (CBasePin* p : {static_cast<CBasePin*>(o0), static_cast<CBasePin*>(o1)}) {
            IPin* peer = p->GetConnected();
            if (peer) peer->Disconnect();
            p->Disconnect();
        }
        EXPECT_EQ(up->Release(), 0u);
        EXPECT_EQ(down->Release(), 0u);
    }
    FILTER_STATE State(CBaseFilter* f) {
        FILTER_STATE s;
        EXPECT_EQ(f->GetState(0, &s), S_OK);
        return s;
    }

    ComScope com;
    CallLog log;
    CTestFilter* up = nullptr;
    CTestFilter* down = nullptr;
    CTestOutputPin* o0 = nullptr;
    CTestOutputPin* o1 = nullptr;
    CTestOutputPin* o2 = nullptr;
};

using Log = std::vector<std::string>;

TEST_F(StateTest, RunFromStoppedActivatesEveryConnectedPinBeforeAnyRuns) {
    ASSERT_EQ(up->Run(12345), S_OK);
    EXPECT_EQ(log.Entries(), (Log{"o0 active", "o1 active", "o0 run", "o1 run"}));
    EXPECT_EQ(State(up), State_Running);
    EXPECT_EQ(up->StartTime(), 12345);
    EXPECT_TRUE(up->IsActive());
}

TEST_F(StateTest, StopOnAStoppedFilterCallsNoPin) {
    ASSERT_EQ(up->Stop(), S_OK);
    EXPECT_TRUE(log.Entries().empty());
    ASSERT_EQ(up->Pause(), S_OK);
    ASSERT_EQ(up->Stop(), S_OK);
    EXPECT_EQ(log.Entries(), (Log{"o0 active", "o1 active", "o0 inactive", "o1 inactive"}));
}

TEST_F(StateTest, PausedToRunningOnlyRunsAndRunningToPausedCallsNothing) {
    ASSERT_EQ(up->Pause(), S_OK);
    log.Clear();
    ASSERT_EQ(up->Run(0), S_OK);
    EXPECT_EQ(log.Entries(), (Log{"o0 run", "o1 run"}));
    log.Clear();
    ASSERT_EQ(up->Pause(), S_OK);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(State(up), State_Paused);
}

TEST_F(StateTest, AFailingActiveLeavesTheFilterStoppedAndTheEarlierPinsInactive) {
    o1->b.hrActive = E_OUTOFMEMORY;
    EXPECT_EQ(up->Run(0), E_OUTOFMEMORY);
    EXPECT_EQ(State(up), State_Stopped);
    // o0 was started; leaving it so would strand its allocator (and a worker) for good.
    EXPECT_EQ(log.Entries(), (Log{"o0 active", "o1 active", "o0 inactive"}));
    EXPECT_EQ(up->Pause(), E_OUTOFMEMORY);
    EXPECT_EQ(State(up), State_Stopped);
}

TEST_F(StateTest, AFailingRunLeavesTheFilterPaused) {
    o0->b.hrRun = E_ABORT;
    EXPECT_EQ(up->Run(0), E_ABORT);
    EXPECT_EQ(State(up), State_Paused);
    EXPECT_EQ(log.Entries(), (Log{"o0 active", "o1 active", "o0 run"}));
}

TEST_F(StateTest, StopVisitsEveryPinAndEndsStoppedEvenAfterAFailure) {
    ASSERT_EQ(up->Pause(), S_OK);
    log.Clear();
    o0->b.hrInactive = E_ABORT;
    o1->b.hrInactive = E_OUTOFMEMORY;
    EXPECT_EQ(up->Stop(), E_ABORT);
    EXPECT_EQ(log.Entries(), (Log{"o0 inactive", "o1 inactive"}));
    EXPECT_EQ(State(up), State_Stopped);
}

TEST_F(StateTest, OutputPinsCommitTheirAllocatorWhileActive) {
    IMemAllocator* alloc = o0->Allocator();
    ASSERT_NE(alloc, nullptr);
    IMediaSample* s = nullptr;
    EXPECT_EQ(o0->GetDeliveryBuffer(&s, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(up->Pause(), S_OK);
    ASSERT_EQ(o0->GetDeliveryBuffer(&s, nullptr, nullptr, 0), S_OK);
    s->Release();
    ASSERT_EQ(up->Stop(), S_OK);
    EXPECT_EQ(o0->GetDeliveryBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_NOT_COMMITTED);
    IMediaSample* none = nullptr;
    EXPECT_EQ(o2->GetDeliveryBuffer(&none, nullptr, nullptr, 0), E_NOINTERFACE);
    EXPECT_EQ(o2->Deliver(nullptr), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(o2->DeliverEndOfStream(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(o0->EndOfStream(), E_UNEXPECTED);
    EXPECT_EQ(o0->BeginFlush(), E_UNEXPECTED);
}

TEST(FilterClock, StreamTimeIsClockTimeLessTheStart) {
    CTestFilter* f = CTestFilter::Create();
    REFERENCE_TIME t = 0;
    EXPECT_EQ(f->StreamTime(t), VFW_E_NO_CLOCK);
    CFakeClock clock;
    ASSERT_EQ(f->SetSyncSource(&clock), S_OK);
    EXPECT_EQ(clock.refs, 2);
    clock.now = 5000;
    ASSERT_EQ(f->Run(1000), S_OK);
    ASSERT_EQ(f->StreamTime(t), S_OK);
    EXPECT_EQ(t, 4000);
    clock.hrGetTime = E_FAIL;
    EXPECT_EQ(f->StreamTime(t), E_FAIL);
    IReferenceClock* got = nullptr;
    ASSERT_EQ(f->GetSyncSource(&got), S_OK);
    EXPECT_EQ(got, &clock);
    got->Release();
    f->Stop();
    EXPECT_EQ(f->Release(), 0u);
    EXPECT_EQ(clock.refs, 1); // the filter let its clock go
}

TEST(FilterGraphMembership, JoiningKeepsNameAndSinkWithoutReferences) {
    CTestFilter* f = CTestFilter::Create();
    CFakeGraph graph;
    EXPECT_EQ(f->NotifyEvent(EC_COMPLETE, S_OK, 0), E_NOTIMPL);
    std::u16string longName(200, u'n');
    ASSERT_EQ(f->JoinFilterGraph(&graph, longName.c_str()), S_OK);
    EXPECT_EQ(graph.refs, 1);
    FILTER_INFO info;
    ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), longName.substr(0, 127));
    EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(&graph));
    info.pGraph->Release();

    // The completion event names its sender; others pass unchanged.
    ASSERT_EQ(f->NotifyEvent(EC_COMPLETE, S_OK, 99), S_OK);
    ASSERT_EQ(f->NotifyEvent(EC_ERRORABORT, E_FAIL, 99), S_OK);
    ASSERT_EQ(graph.events.size(), 2u);
    EXPECT_EQ(graph.events[0].param2, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(f)));
    EXPECT_EQ(graph.events[1].param2, 99);

    ASSERT_EQ(f->JoinFilterGraph(nullptr, nullptr), S_OK);
    ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], 0);
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(f->NotifyEvent(EC_COMPLETE, S_OK, 0), E_NOTIMPL);
    EXPECT_EQ(graph.refs, 1);
    EXPECT_EQ(f->Release(), 0u);
}

TEST(FilterGraphMembership, AGraphThatClaimsInterfacesWithoutGivingThemIsUsedWithoutThem) {
    CTestFilter* f = CTestFilter::Create();
    CTestOutputPin* out = f->AddOutput(u"out", "out");
    CFakeGraph graph;
    graph.bClaimNoInterfaces = true;
    ASSERT_EQ(f->JoinFilterGraph(&graph, u"f"), S_OK);
    EXPECT_EQ(f->NotifyEvent(EC_COMPLETE, S_OK, 0), E_NOTIMPL) << "no sink";
    EXPECT_EQ(f->ReconnectPin(out, nullptr), E_NOTIMPL) << "the graph's own reconnection";
    EXPECT_TRUE(graph.events.empty());
    EXPECT_EQ(graph.refs, 1);
    ASSERT_EQ(f->JoinFilterGraph(nullptr, nullptr), S_OK);
    EXPECT_EQ(f->Release(), 0u);
}

// A filter's own registration goes through the older mapper, one call per pin and type; only a
// removal that finds nothing is forgiven.
TEST(FilterSetup, RegistersEveryPinAndForgivesOnlyNothingToRemove) {
    YRA_DEFINE_GUID(CLSID_SetupTest, 0x4A7F0C21, 0x9B3D, 0x4E15, 0x8C, 0x6A, 0x2D, 0x51, 0x7E, 0x90, 0x13,
                    0x01);
    static WCHAR szNoName[] = u"";
    static const AMOVIESETUP_MEDIATYPE kTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM},
                                                   {&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_TRANSPORT}};
    static const AMOVIESETUP_PIN kPins[] = {
        {szNoName, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 2, kTypes},
        {szNoName, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kTypes},
    };
    static const AMOVIESETUP_FILTER kSetup = {&CLSID_SetupTest, u"Setup Test", MERIT_NORMAL, 2, kPins};
    ComScope com;
    CTestFilter* f = CTestFilter::Create();
    EXPECT_EQ(f->Register(), S_FALSE) << "no setup data";
    EXPECT_EQ(f->Unregister(), S_FALSE);
    f->pSetup = &kSetup;
    EXPECT_EQ(f->Unregister(), S_OK) << "nothing to remove";
    ASSERT_EQ(f->Register(), S_OK);
    host::RegisteredFilter filter;
    ASSERT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_SetupTest, &filter), S_OK);
    EXPECT_EQ(filter.name, u"Setup Test");
    ASSERT_EQ(filter.pins.size(), 2u);
    EXPECT_TRUE(filter.pins[0].rendered);
    EXPECT_EQ(filter.pins[0].types.size(), 2u);
    EXPECT_TRUE(filter.pins[1].output);
    EXPECT_EQ(filter.pins[1].types.size(), 1u);
    ASSERT_EQ(f->Unregister(), S_OK);
    EXPECT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_SetupTest, &filter),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // A registry that cannot be read is a real failure both ways.
    // (The test's host root outlives the run, so the broken hive goes again.)
    const std::string hive = host::RegistryHivePath(HKEY_CLASSES_ROOT);
    std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
    std::ofstream(hive) << "not a hive\n";
    HRESULT hrRegister = f->Register(), hrUnregister = f->Unregister();
    std::filesystem::remove(hive);
    EXPECT_EQ(hrRegister, HRESULT_FROM_WIN32(ERROR_BADDB));
    EXPECT_EQ(hrUnregister, HRESULT_FROM_WIN32(ERROR_BADDB));
    EXPECT_EQ(f->Release(), 0u);
}

TEST(FilterPins, FindPinComparesNamesExactly) {
    CTestFilter* f = CTestFilter::Create();
    f->AddOutput(u"Video", "v");
    CBasePin* audio = f->AddOutput(u"Audio", "a");
    IPin* p = nullptr;
    ASSERT_EQ(f->FindPin(u"Audio", &p), S_OK);
    EXPECT_EQ(p, static_cast<IPin*>(audio));
    p->Release();
    EXPECT_EQ(f->FindPin(u"audio", &p), VFW_E_NOT_FOUND);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(f->FindPin(u"Audi", &p), VFW_E_NOT_FOUND);
    EXPECT_EQ(f->Release(), 0u);
}

} // namespace
