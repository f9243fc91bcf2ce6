// The output pins' worker threads seen from the pins themselves: the command table, a stop
// that releases the held sample while the worker goes on, and state changes that find the
// filter already active. The filter is built into this test rather than loaded as a module,
// so its pins can be reached directly.
#include "filter_test_util.h"

#include "demux/demuxfilter.h"
#include "plat/com.h"

#include <chrono>
#include <thread>

namespace {

using namespace demuxtest;
using namespace std::chrono_literals;

class DemuxPinTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph)),
                  S_OK);
        HRESULT hr = S_OK;
        filter = static_cast<CPsTsDemuxFilter*>(CPsTsDemuxFilter::CreateInstance(nullptr, &hr));
        ASSERT_TRUE(filter && SUCCEEDED(hr));
        filter->AddRef();
        ASSERT_EQ(graph->AddFilter(filter, u"Demux"), S_OK);
        video = static_cast<CDemuxOutputPin*>(static_cast<CBaseOutputPin*>(filter->GetPin(0)));
    }

    void TearDown() override {
        if (filter) filter->Stop();
        for (IBaseFilter* f : m_added) {
            f->Stop();
        }
        if (graph) graph->Release();
        if (filter) filter->Release();
        for (IBaseFilter* f : m_added)
            f->Release();
        CoUninitialize();
    }

    void Add(IBaseFilter* pFilter) {
        m_added.push_back(pFilter);
        ASSERT_EQ(graph->AddFilter(pFilter, nullptr), S_OK);
    }

    IGraphBuilder* graph = nullptr;
    CPsTsDemuxFilter* filter = nullptr;
    CDemuxOutputPin* video = nullptr;
    std::vector<IBaseFilter*> m_added;
};

// Before CMD_INIT every command is refused with E_UNEXPECTED, after it every command but
// CMD_STOP and CMD_EXIT with E_NOTIMPL (CMD_INIT again included).
TEST_F(DemuxPinTest, WorkerAnswersCommandsByItsTable) {
    ASSERT_TRUE(video->Create());
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_STOP)), E_UNEXPECTED);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(7)), E_UNEXPECTED);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_INIT)), S_OK);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_INIT)), E_NOTIMPL);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(1)), E_NOTIMPL);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_STOP)), S_OK);
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_EXIT)), S_OK);
    video->Close();
    EXPECT_FALSE(video->ThreadExists());
}

// CMD_EXIT before CMD_INIT is refused like any other command, but the worker leaves all the
// same, so a pin torn down before it started never waits for ever.
TEST_F(DemuxPinTest, WorkerLeavesOnExitBeforeInit) {
    ASSERT_TRUE(video->Create());
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_EXIT)), E_UNEXPECTED);
    video->Close();
    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_INIT)), E_FAIL) << "no worker is left";
}

// The worker holds a sample while no record is filled. CMD_STOP releases it before the reply,
// and the worker goes on delivering until CMD_EXIT.
TEST_F(DemuxPinTest, StopReleasesTheHeldSampleAndTheWorkerGoesOn) {
    CPlainAllocator* allocator = CPlainAllocator::Create(true, S_OK);
    CHoardingSink* hoarder = CHoardingSink::Create(allocator);
    Add(hoarder);
    ASSERT_EQ(graph->ConnectDirect(video, hoarder->GetPin(0), nullptr), S_OK);
    ASSERT_EQ(hoarder->Pause(), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    FakeSample& held = allocator->OwnSample();
    ASSERT_TRUE(WaitUntil([&] { return allocator->GetBufferCalls() >= 1; }));
    EXPECT_EQ(held.cRelease.load(), 0);

    EXPECT_EQ(static_cast<HRESULT>(video->CallWorker(CMD_STOP)), S_OK);
    EXPECT_EQ(held.cRelease.load(), 1) << "released before the reply";
    EXPECT_TRUE(video->ThreadExists());

    std::vector<Unit> units = VideoUnits(1);
    EXPECT_EQ(ReceiveOnInput(filter->GetPin(2), TransportStreamOf(units, {})), S_OK);
    EXPECT_EQ(filter->GetPin(2)->EndOfStream(), S_OK);
    EXPECT_TRUE(hoarder->WaitForHeld(1, 10000)) << "the worker stopped delivering";
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(hoarder->Stop(), S_OK);
    hoarder->LetGo();
    allocator->Release();
}

// Activating pins of a filter that is already paused starts nothing and answers S_FALSE.
TEST_F(DemuxPinTest, ASecondActiveWhilePausedAnswersSFalse) {
    host::CSampleSink* sink = host::CSampleSink::Create();
    Add(sink);
    ASSERT_EQ(graph->ConnectDirect(video, sink->GetPin(0), nullptr), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_TRUE(video->ThreadExists());
    {
        // As the framework calls it: under the filter lock.
        CAutoLock lock(filter->FilterLock());
        EXPECT_EQ(video->Active(), S_FALSE);
        EXPECT_EQ(static_cast<CBasePin*>(filter->GetPin(2))->Active(), S_FALSE);
        EXPECT_EQ(static_cast<CBasePin*>(filter->GetPin(1))->Active(), S_FALSE);
    }
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_FALSE(video->ThreadExists());
}

} // namespace
