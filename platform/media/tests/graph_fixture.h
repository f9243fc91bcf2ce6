// A filter graph made by class id, as an application makes it, with its control and event
// interfaces.
#pragma once

#include "plat/com.h"
#include "testing/push_source.h"
#include "relay_filter.h"
#include "testing/sample_sink.h"

#include <gtest/gtest.h>

namespace host_tests {

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph)),
                  S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events)), S_OK);
    }
    void TearDown() override {
        ReleaseGraph();
        CoUninitialize();
    }
    void ReleaseGraph() {
        if (events) events->Release();
        if (control) control->Release();
        if (graph) EXPECT_EQ(graph->Release(), 0u);
        events = nullptr;
        control = nullptr;
        graph = nullptr;
    }
    static CBasePin* PinOf(CBaseFilter* f, int n = 0) { return f->GetPin(n); }

    // A source of n samples connected to a new sink, both in the graph.
    void AddPair(host::CPushSource* source, host::CSampleSink* sink, const char16_t* sourceName,
                 const char16_t* sinkName) {
        ASSERT_EQ(graph->AddFilter(source, sourceName), S_OK);
        ASSERT_EQ(graph->AddFilter(sink, sinkName), S_OK);
        ASSERT_EQ(graph->Connect(PinOf(source), PinOf(sink)), S_OK);
    }

    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
};

} // namespace host_tests
