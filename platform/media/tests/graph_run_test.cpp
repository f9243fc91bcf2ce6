#include "graph_fixture.h"

#include <chrono>
#include <thread>

namespace host_tests {
namespace {

using host::CPushSource;
using host::CSampleSink;
using Log = std::vector<std::string>;

TEST_F(GraphTest, RunDeliversEverySampleAndCompletes) {
    host::PushSourceOptions options;
    options.lSamples = 20;
    options.cbSample = 188 * 7;
    options.cBuffers = 3;
    CPushSource* source = CPushSource::Create(options);
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");

    ASSERT_EQ(control->Run(), S_OK);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_TRUE(sink->EndOfStreamSeen());

    const auto samples = sink->Samples();
    ASSERT_EQ(samples.size(), 20u);
    for (size_t n = 0; n < samples.size(); ++n) {
        const auto& s = samples[n];
        ASSERT_EQ(s.data.size(), size_t(188 * 7));
        for (size_t i = 0; i < s.data.size(); i += 97) {
            ASSERT_EQ(s.data[i], CPushSource::PatternByte(LONG(n), LONG(i)));
        }
        EXPECT_EQ(s.hrTime, S_OK);
        EXPECT_EQ(s.start, REFERENCE_TIME(n) * options.rtStep);
        EXPECT_EQ(s.bSyncPoint, n == 0);
    }
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    source->Release();
    sink->Release();
}

// Three relays in a chain, added upstream first so the order is not that of addition.
class ChainTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        for (const char* tag : {"a", "b", "c"}) {
            relays.push_back(CRelayFilter::Create(&log, tag));
            std::u16string name(tag, tag + 1);
            ASSERT_EQ(graph->AddFilter(relays.back(), name.c_str()), S_OK);
        }
        ASSERT_EQ(graph->Connect(relays[0]->Output(), relays[1]->Input()), S_OK);
        ASSERT_EQ(graph->Connect(relays[1]->Output(), relays[2]->Input()), S_OK);
        log.Take();
    }
    void TearDown() override {
        ReleaseGraph();
        for (CRelayFilter* r : relays) EXPECT_EQ(r->Release(), 0u);
        GraphTest::TearDown();
    }
    StateLog log;
    std::vector<CRelayFilter*> relays;
};

TEST_F(ChainTest, StateChangesReachDownstreamFiltersFirst) {
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(log.Take(), (Log{"c pause", "b pause", "a pause", "c run", "b run", "a run"}));
    ASSERT_EQ(control->Pause(), S_OK);
    EXPECT_EQ(log.Take(), (Log{"c pause", "b pause", "a pause"}));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(log.Take(), (Log{"c stop", "b stop", "a stop"}));
    ASSERT_EQ(control->Stop(), S_OK); // stopping again reaches every filter again
    EXPECT_EQ(log.Take().size(), 3u);
}

TEST_F(ChainTest, AFailingFilterFailsTheRunAndLeavesEverythingStopped) {
    relays[1]->hrPause = E_OUTOFMEMORY;
    EXPECT_EQ(control->Run(), E_OUTOFMEMORY);
    EXPECT_EQ(log.Take(), (Log{"c pause", "b pause", "c stop", "b stop", "a stop"}));
    OAFilterState state = -1;
    control->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    for (CRelayFilter* r : relays) EXPECT_TRUE(r->IsStopped());
}

TEST_F(ChainTest, EveryFilterGetsTheGraphClockAndAStartJustAhead) {
    IReferenceClock* before = nullptr;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&before)), S_OK);
    auto* mediaFilter = reinterpret_cast<IMediaFilter*>(before);
    ASSERT_EQ(control->Pause(), S_OK);
    IReferenceClock* clock = nullptr;
    ASSERT_EQ(mediaFilter->GetSyncSource(&clock), S_OK);
    ASSERT_NE(clock, nullptr);
    for (CRelayFilter* r : relays) {
        IReferenceClock* mine = nullptr;
        ASSERT_EQ(r->GetSyncSource(&mine), S_OK);
        EXPECT_EQ(mine, clock);
        mine->Release();
    }
    REFERENCE_TIME t0 = 0, t1 = 0;
    clock->GetTime(&t0);
    ASSERT_EQ(control->Run(), S_OK);
    clock->GetTime(&t1);
    for (CRelayFilter* r : relays) {
        EXPECT_GT(r->rtLastStart, t0);
        EXPECT_LE(r->rtLastStart, t1 + 100'000);
        EXPECT_EQ(r->rtLastStart, relays[0]->rtLastStart); // one origin for the graph
    }
    REFERENCE_TIME stream = 0;
    ASSERT_EQ(relays[0]->StreamTime(stream), S_OK);
    EXPECT_LT(stream, 100'000); // stream time begins a little after Run returns

    // A pause holds stream time; the next run carries on from there.
    ASSERT_EQ(control->Pause(), S_OK);
    const REFERENCE_TIME firstStart = relays[0]->rtLastStart;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_GE(relays[0]->rtLastStart - firstStart, 250'000);
    clock->Release();
    mediaFilter->Release();
}

TEST_F(ChainTest, NoClockWhenTheApplicationSaysSo) {
    IMediaFilter* mediaFilter = nullptr;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter)), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    relays[0]->GetSyncSource(&clock);
    EXPECT_EQ(clock, nullptr);
    EXPECT_EQ(relays[0]->rtLastStart, 0);
    EXPECT_EQ(mediaFilter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);
    mediaFilter->Release();
}

TEST_F(GraphTest, StopEndsAStreamThatIsStillDelivering) {
    host::PushSourceOptions options;
    options.lSamples = -1; // until stopped
    options.cBuffers = 2;
    CPushSource* source = CPushSource::Create(options);
    host::SampleSinkOptions sinkOptions;
    sinkOptions.dwReceiveDelayMs = 1;
    CSampleSink* sink = CSampleSink::Create(sinkOptions);
    AddPair(source, sink, u"Source", u"Sink");
    for (int round = 0; round < 3; ++round) {
        const size_t before = sink->SampleCount();
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(sink->WaitForSamples(before + 5, 5000));
        ASSERT_EQ(control->Stop(), S_OK);
        const size_t after = sink->SampleCount();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(sink->SampleCount(), after); // nothing arrives once stopped
    }
    source->Release();
    sink->Release();
}

TEST_F(GraphTest, PauseAndRunAgainCarryOnDelivering) {
    host::PushSourceOptions options;
    options.lSamples = 6;
    options.dwDelayMs = 2;
    CPushSource* source = CPushSource::Create(options);
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(control->Pause(), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(sink->SampleCount(), 6u);
    control->Stop();
    source->Release();
    sink->Release();
}

} // namespace
} // namespace host_tests
