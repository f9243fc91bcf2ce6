#include "graph_fixture.h"

#include <future>
#include <thread>

namespace host_tests {
namespace {

using host::CPushSource;
using host::CSampleSink;
using namespace std::chrono_literals;

TEST_F(GraphTest, CompletesOnceEveryRendererHasFinished) {
    host::PushSourceOptions quick, slow;
    quick.lSamples = 2;
    slow.lSamples = 10;
    slow.dwDelayMs = 5;
    CPushSource* s1 = CPushSource::Create(quick);
    CPushSource* s2 = CPushSource::Create(slow);
    CSampleSink* k1 = CSampleSink::Create();
    CSampleSink* k2 = CSampleSink::Create();
    AddPair(s1, k1, u"Quick", u"Sink 1");
    AddPair(s2, k2, u"Slow", u"Sink 2");

    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_TRUE(k1->EndOfStreamSeen());
    EXPECT_TRUE(k2->EndOfStreamSeen());
    EXPECT_EQ(k2->SampleCount(), 10u);

    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(p1, S_OK);
    EXPECT_EQ(events->FreeEventParams(code, p1, p2), S_OK);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT); // one for the graph, not one per sink

    // The next run counts afresh.
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    control->Stop();
    for (IBaseFilter* f : std::initializer_list<IBaseFilter*>{s1, s2, k1, k2}) f->Release();
}

TEST_F(GraphTest, AFilterThatSaysItRendersIsWaitedFor) {
    host::PushSourceOptions options;
    options.lSamples = 1;
    CPushSource* source = CPushSource::Create(options);
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    StateLog log;
    CRelayFilter* relay = CRelayFilter::Create(&log, "r");
    relay->bDeclareRenderer = true; // has an output pin, renders all the same
    ASSERT_EQ(graph->AddFilter(relay, u"Relay"), S_OK);

    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    ASSERT_TRUE(sink->WaitForSamples(1, 5000));
    EXPECT_EQ(events->WaitForCompletion(100, &code), E_ABORT);
    EXPECT_EQ(code, 0);
    relay->NotifyEvent(EC_COMPLETE, S_OK, 0);
    ASSERT_EQ(events->WaitForCompletion(5000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    control->Stop();
    ASSERT_EQ(graph->RemoveFilter(relay), S_OK); // the log goes before the graph does
    source->Release();
    sink->Release();
    relay->Release();
}

TEST_F(GraphTest, ARefusedTypeChangeAbortsWithTheFiltersCode) {
    host::PushSourceOptions options;
    options.lSamples = 5;
    options.lTypeChangeAt = 2;
    CPushSource* source = CPushSource::Create(options);
    host::SampleSinkOptions sinkOptions;
    sinkOptions.acceptMajortype = MEDIATYPE_Stream;
    CSampleSink* sink = CSampleSink::Create(sinkOptions);
    AddPair(source, sink, u"Source", u"Sink");

    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    bool bAbort = false;
    while (!bAbort && events->GetEvent(&code, &p1, &p2, 5000) == S_OK) {
        if (code == EC_ERRORABORT) {
            bAbort = true;
            EXPECT_EQ(p1, VFW_E_TYPE_NOT_ACCEPTED);
        }
    }
    EXPECT_TRUE(bAbort);
    control->Stop(); // the source's worker has ended: its result is settled
    EXPECT_EQ(sink->SampleCount(), 2u);
    EXPECT_EQ(source->LastDeliverResult(), VFW_E_INVALIDMEDIATYPE);
    source->Release();
    sink->Release();
}

TEST_F(GraphTest, StoppingWakesAWaiter) {
    host::PushSourceOptions options;
    options.lSamples = -1;
    options.dwDelayMs = 1;
    CPushSource* source = CPushSource::Create(options);
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    ASSERT_EQ(control->Run(), S_OK);
    auto waiter = std::async(std::launch::async, [&] {
        LONG code = 0;
        return events->WaitForCompletion(INFINITE, &code);
    });
    EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiter.get(), VFW_E_WRONG_STATE);
    source->Release();
    sink->Release();
}

TEST_F(GraphTest, EventsFromManyThreadsAreAllKept) {
    IMediaEventSink* sink = nullptr;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)), S_OK);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([sink, t] {
            for (int i = 0; i < 100; ++i) sink->Notify(EC_ERROR_STILLPLAYING, t, i);
        });
    }
    int received = 0;
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (received < 400 && events->GetEvent(&code, &p1, &p2, 5000) == S_OK) ++received;
    for (auto& t : posters) t.join();
    EXPECT_EQ(received, 400);
    sink->Release();
}

TEST_F(GraphTest, CompletionsPassThroughWhenDefaultHandlingIsOff) {
    ASSERT_EQ(events->CancelDefaultHandling(EC_COMPLETE), S_OK);
    host::PushSourceOptions options;
    options.lSamples = 1;
    CPushSource* source = CPushSource::Create(options);
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(p2, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(sink))); // the renderer's own
    control->Stop();
    source->Release();
    sink->Release();
}

} // namespace
} // namespace host_tests
