#include "framework/memalloc.h"
#include "plat/com.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class BuiltinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(BuiltinTest, TheStandardAllocatorIsABuiltInClass) {
    IMemAllocator* alloc = nullptr;
    ASSERT_EQ(CreateMemoryAllocator(&alloc), S_OK);
    IMemAllocatorCallbackTemp* cb = nullptr;
    ASSERT_EQ(alloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&cb)), S_OK);
    cb->Release();
    ALLOCATOR_PROPERTIES request{2, 100, 16, 4}, actual;
    ASSERT_EQ(alloc->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 108);
    ASSERT_EQ(alloc->Commit(), S_OK);
    IMediaSample* s = nullptr;
    ASSERT_EQ(alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    s->Release();
    ASSERT_EQ(alloc->Decommit(), S_OK);
    EXPECT_EQ(alloc->Release(), 0u);
}

TEST_F(BuiltinTest, TheSystemClockRunsForward) {
    IReferenceClock* clock = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                               reinterpret_cast<void**>(&clock)),
              S_OK);
    REFERENCE_TIME t0 = 0, t1 = 0;
    ASSERT_EQ(clock->GetTime(&t0), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(clock->GetTime(&t1), S_OK);
    EXPECT_GE(t1 - t0, 200'000);   // at least 20 ms in 100-ns units
    EXPECT_LT(t1 - t0, 10'000'000); // and not seconds
    EXPECT_EQ(clock->GetTime(nullptr), E_POINTER);
    DWORD_PTR cookie = 1;
    EXPECT_EQ(clock->AdviseTime(0, 0, 0, &cookie), E_NOTIMPL);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(clock->Release(), 0u);
}

TEST_F(BuiltinTest, TheGraphAnswersEveryInterfaceOfOneObject) {
    IUnknown* graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    for (const GUID* iid : {&IID_IGraphBuilder, &IID_IFilterGraph, &IID_IFilterGraph2, &IID_IMediaControl,
                            &IID_IMediaFilter, &IID_IMediaEventSink, &IID_IMediaEvent, &IID_IMediaEventEx}) {
        IUnknown* p = nullptr;
        ASSERT_EQ(graph->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
        IUnknown* identity = nullptr;
        p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        EXPECT_EQ(identity, graph);
        identity->Release();
        p->Release();
    }
    IPersist* persist = nullptr;
    ASSERT_EQ(graph->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID clsid;
    persist->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_FilterGraph);
    persist->Release();
    EXPECT_EQ(graph->Release(), 0u);

    IUnknown* outer = reinterpret_cast<IUnknown*>(&clsid); // never called: refused first
    IUnknown* inner = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&inner)),
              CLASS_E_NOAGGREGATION);
}

} // namespace
