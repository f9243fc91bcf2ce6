#include "graph_fixture.h"

namespace host_tests {
namespace {

using host::CPushSource;
using host::CSampleSink;

class BuilderTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                   reinterpret_cast<void**>(&builder)),
                  S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph), S_OK);
        source = CPushSource::Create({});
        sink = CSampleSink::Create();
        ASSERT_EQ(graph->AddFilter(source, u"Source"), S_OK);
        ASSERT_EQ(graph->AddFilter(sink, u"Dump"), S_OK);
    }
    void TearDown() override {
        builder->Release();
        ReleaseGraph();
        EXPECT_EQ(source->Release(), 0u);
        EXPECT_EQ(sink->Release(), 0u);
        GraphTest::TearDown();
    }
    ICaptureGraphBuilder2* builder = nullptr;
    CPushSource* source = nullptr;
    CSampleSink* sink = nullptr;
};

TEST_F(BuilderTest, RendersASourceStraightIntoASink) {
    ASSERT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source), nullptr, sink), S_OK);
    EXPECT_EQ(PinOf(source)->GetConnected(), static_cast<IPin*>(PinOf(sink)));
    // Nothing unconnected is left to render.
    EXPECT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source), nullptr, sink), E_FAIL);
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    control->Stop();
}

TEST_F(BuilderTest, AMediaTypeNarrowsThePinsConsidered) {
    EXPECT_EQ(builder->RenderStream(nullptr, &MEDIATYPE_Video, static_cast<IBaseFilter*>(source), nullptr, sink),
              E_FAIL);
    EXPECT_FALSE(PinOf(source)->IsConnected());
    ASSERT_EQ(builder->RenderStream(nullptr, &MEDIATYPE_Stream, static_cast<IBaseFilter*>(source), nullptr, sink),
              S_OK);
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(PinOf(sink)->ConnectionMediaType(&mt), S_OK);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Stream);
    FreeMediaType(mt);
}

TEST_F(BuilderTest, RendersThroughAnIntermediateFilter) {
    StateLog log;
    CRelayFilter* relay = CRelayFilter::Create(&log, "relay");
    ASSERT_EQ(graph->AddFilter(relay, u"Relay"), S_OK);
    ASSERT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source), relay, sink), S_OK);
    EXPECT_EQ(PinOf(source)->GetConnected(), relay->Input());
    EXPECT_EQ(relay->GetPin(1)->GetConnected(), static_cast<IPin*>(PinOf(sink)));
    ASSERT_EQ(graph->RemoveFilter(relay), S_OK);
    EXPECT_EQ(relay->Release(), 0u);
}

TEST_F(BuilderTest, FindsPinsByDirectionAndConnection) {
    IPin* pin = nullptr;
    ASSERT_EQ(builder->FindPin(static_cast<IBaseFilter*>(source), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0, &pin),
              S_OK);
    EXPECT_EQ(pin, static_cast<IPin*>(PinOf(source)));
    pin->Release();
    EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(source), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, &pin),
              E_FAIL);
    EXPECT_EQ(pin, nullptr);
    EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(source), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, &pin),
              E_FAIL);
    // A pin given as the source answers for itself.
    ASSERT_EQ(builder->FindPin(static_cast<IPin*>(PinOf(sink)), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &pin), S_OK);
    pin->Release();
    ASSERT_EQ(graph->Connect(PinOf(source), PinOf(sink)), S_OK);
    EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(sink), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &pin), E_FAIL);
    // A category the pin does not declare.
    EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(source), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr,
                               FALSE, 0, &pin),
              E_FAIL);
}

TEST(CaptureGraphBuilder, MakesAGraphWhenAskedForOne) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ICaptureGraphBuilder2* builder = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                               reinterpret_cast<void**>(&builder)),
              S_OK);
    IGraphBuilder* made = nullptr;
    ASSERT_EQ(builder->GetFiltergraph(&made), S_OK);
    ASSERT_NE(made, nullptr);
    IGraphBuilder* again = nullptr;
    builder->GetFiltergraph(&again);
    EXPECT_EQ(again, made);
    again->Release();
    EXPECT_EQ(builder->RenderStream(nullptr, nullptr, made, nullptr, nullptr), E_NOTIMPL);
    made->Release();
    EXPECT_EQ(builder->Release(), 0u);
    CoUninitialize();
}

} // namespace
} // namespace host_tests
