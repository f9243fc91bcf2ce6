#include "graph_fixture.h"

namespace host_tests {
namespace {

using host::CPushSource;
using host::CSampleSink;

TEST_F(GraphTest, HoldsOneReferencePerFilterAndGivesItBackOnRemoval) {
    CPushSource* source = CPushSource::Create({});
    EXPECT_EQ(Refs(source), 1u);
    ASSERT_EQ(graph->AddFilter(source, u"Source"), S_OK);
    EXPECT_EQ(Refs(source), 2u);
    FILTER_INFO info;
    ASSERT_EQ(source->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"Source");
    ASSERT_NE(info.pGraph, nullptr);
    info.pGraph->Release();

    ASSERT_EQ(graph->RemoveFilter(source), S_OK);
    EXPECT_EQ(Refs(source), 1u);
    ASSERT_EQ(source->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(graph->RemoveFilter(source), VFW_E_NOT_FOUND);
    EXPECT_EQ(source->Release(), 0u);
}

TEST_F(GraphTest, NamesStayUnique) {
    CSampleSink* a = CSampleSink::Create();
    CSampleSink* b = CSampleSink::Create();
    CSampleSink* c = CSampleSink::Create();
    ASSERT_EQ(graph->AddFilter(a, u"Sink"), S_OK);
    EXPECT_EQ(graph->AddFilter(b, u"Sink"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(c, nullptr), S_OK);
    EXPECT_NE(graph->AddFilter(a, u"Again"), S_OK); // already a member
    IBaseFilter* found = nullptr;
    ASSERT_EQ(graph->FindFilterByName(u"Sink 0001", &found), S_OK);
    EXPECT_EQ(found, static_cast<IBaseFilter*>(b));
    found->Release();
    EXPECT_EQ(graph->FindFilterByName(u"sink", &found), VFW_E_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
    FILTER_INFO info;
    c->QueryFilterInfo(&info);
    EXPECT_NE(info.achName[0], 0); // a name was made up
    info.pGraph->Release();

    IEnumFilters* e = nullptr;
    ASSERT_EQ(graph->EnumFilters(&e), S_OK);
    IBaseFilter* all[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(4, all, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) all[i]->Release();
    e->Reset();
    EXPECT_EQ(e->Skip(2), S_OK);
    IEnumFilters* clone = nullptr;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    ASSERT_EQ(clone->Next(1, all, nullptr), S_OK);
    EXPECT_EQ(all[0], static_cast<IBaseFilter*>(c));
    all[0]->Release();
    clone->Release();
    e->Release();

    ReleaseGraph();
    for (CSampleSink* s : {a, b, c}) EXPECT_EQ(s->Release(), 0u);
}

TEST_F(GraphTest, ConnectsOnlyItsOwnPinsInTheRightDirection) {
    CPushSource* source = CPushSource::Create({});
    CSampleSink* sink = CSampleSink::Create();
    ASSERT_EQ(graph->AddFilter(source, u"Source"), S_OK);
    EXPECT_EQ(graph->Connect(PinOf(source), PinOf(sink)), VFW_E_NOT_IN_GRAPH);
    ASSERT_EQ(graph->AddFilter(sink, u"Sink"), S_OK);
    EXPECT_EQ(graph->ConnectDirect(PinOf(sink), PinOf(source), nullptr), VFW_E_INVALID_DIRECTION);
    ASSERT_EQ(graph->Connect(PinOf(source), PinOf(sink)), S_OK);
    EXPECT_TRUE(PinOf(sink)->IsConnected());
    EXPECT_EQ(graph->Connect(PinOf(source), PinOf(sink)), VFW_E_ALREADY_CONNECTED);

    // Disconnect takes one end; the other stays until told.
    ASSERT_EQ(graph->Disconnect(PinOf(source)), S_OK);
    EXPECT_FALSE(PinOf(source)->IsConnected());
    EXPECT_TRUE(PinOf(sink)->IsConnected());
    ASSERT_EQ(graph->Disconnect(PinOf(sink)), S_OK);

    ASSERT_EQ(graph->Connect(PinOf(source), PinOf(sink)), S_OK);
    ASSERT_EQ(graph->Reconnect(PinOf(sink)), S_OK);
    EXPECT_TRUE(PinOf(source)->IsConnected());
    EXPECT_TRUE(PinOf(sink)->IsConnected());
    source->Release();
    sink->Release();
}

TEST_F(GraphTest, RemovingAFilterDisconnectsBothEndsOfItsPins) {
    CPushSource* source = CPushSource::Create({});
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    EXPECT_EQ(Refs(source), 3u); // caller, graph, the sink's pin
    ASSERT_EQ(graph->RemoveFilter(source), S_OK);
    EXPECT_FALSE(PinOf(source)->IsConnected());
    EXPECT_FALSE(PinOf(sink)->IsConnected());
    EXPECT_EQ(Refs(source), 1u);
    EXPECT_EQ(source->Release(), 0u);
    sink->Release();
}

TEST_F(GraphTest, ReleasingTheGraphLetsEveryFilterGo) {
    CPushSource* source = CPushSource::Create({});
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    ASSERT_EQ(control->Run(), S_OK);
    ReleaseGraph(); // stops, disconnects and lets go, while running
    EXPECT_EQ(Refs(source), 1u);
    EXPECT_EQ(Refs(sink), 1u);
    EXPECT_FALSE(PinOf(sink)->IsConnected());
    FILTER_STATE state;
    source->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    source->GetSyncSource(&clock);
    EXPECT_EQ(clock, nullptr);
    EXPECT_EQ(source->Release(), 0u);
    EXPECT_EQ(sink->Release(), 0u);
}

TEST_F(GraphTest, FiltersLeaveOnlyAStoppedGraph) {
    CPushSource* source = CPushSource::Create({});
    CSampleSink* sink = CSampleSink::Create();
    AddPair(source, sink, u"Source", u"Sink");
    ASSERT_EQ(control->Pause(), S_OK);
    EXPECT_EQ(graph->RemoveFilter(sink), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(graph->RemoveFilter(sink), S_OK);
    source->Release();
    sink->Release();
}

TEST_F(GraphTest, AFilterMovesFromOneGraphToTheNext) {
    // The capture program keeps its device filter and builds a new graph for each recording.
    host::PushSourceOptions options;
    options.lSamples = 3;
    CPushSource* source = CPushSource::Create(options);
    for (int round = 0; round < 2; ++round) {
        if (!graph) {
            ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                       reinterpret_cast<void**>(&graph)),
                      S_OK);
            graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
            graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
        }
        CSampleSink* sink = CSampleSink::Create();
        AddPair(source, sink, u"Source", u"Dump");
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_TRUE(sink->WaitForSamples(3, 5000));
        ASSERT_EQ(control->Stop(), S_OK);
        ASSERT_EQ(graph->RemoveFilter(source), S_OK);
        ReleaseGraph();
        EXPECT_EQ(sink->Release(), 0u);
    }
    EXPECT_EQ(source->Release(), 0u);
}

} // namespace
} // namespace host_tests
