#include "test_filters.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_filters;

// A filter with one unconnected input pin in a graph that records events, and an allocator
// to take samples from.
class InputPinTest : public ::testing::Test {
protected:
    void SetUp() override {
        f = CTestFilter::Create(&log);
        in = f->AddInput(u"in", "in");
        f->JoinFilterGraph(&graph, u"f");
        HRESULT hr = S_OK;
        auto* a = new CMemAllocator(u"a", nullptr, &hr);
        a->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&alloc));
        ALLOCATOR_PROPERTIES request{4, 64, 1, 0}, actual;
        alloc->SetProperties(&request, &actual);
        alloc->Commit();
    }
    void TearDown() override {
        f->Stop();
        f->JoinFilterGraph(nullptr, nullptr);
        EXPECT_EQ(f->Release(), 0u);
        alloc->Decommit();
        alloc->Release();
    }
    IMediaSample* Sample(LONG length) {
        IMediaSample* s = nullptr;
        EXPECT_EQ(alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
        s->SetActualDataLength(length);
        return s;
    }

    ComScope com;
    CallLog log;
    CFakeGraph graph;
    CTestFilter* f = nullptr;
    CTestInputPin* in = nullptr;
    IMemAllocator* alloc = nullptr;
};

TEST_F(InputPinTest, StreamingNeedsARunningUnflushedErrorFreePin) {
    EXPECT_EQ(in->CheckStreaming(), VFW_E_WRONG_STATE);
    ASSERT_EQ(f->Pause(), S_OK);
    EXPECT_EQ(in->CheckStreaming(), S_OK);
    ASSERT_EQ(in->BeginFlush(), S_OK);
    EXPECT_TRUE(in->IsFlushing());
    EXPECT_EQ(in->CheckStreaming(), S_FALSE);
    ASSERT_EQ(in->EndFlush(), S_OK);
    EXPECT_EQ(in->CheckStreaming(), S_OK);
    in->SetRunTimeErrorFlag();
    EXPECT_EQ(in->CheckStreaming(), VFW_E_RUNTIME_ERROR);
    in->EndFlush(); // also clears the error
    EXPECT_EQ(in->CheckStreaming(), S_OK);
}

TEST_F(InputPinTest, ReceiveRefusesWhileStoppedAndCopiesThePropertiesOtherwise) {
    IMediaSample* s = Sample(33);
    EXPECT_EQ(in->Receive(s), VFW_E_WRONG_STATE);
    ASSERT_EQ(f->Pause(), S_OK);
    REFERENCE_TIME start = 10, stop = 20;
    s->SetTime(&start, &stop);
    ASSERT_EQ(in->Receive(s), S_OK);
    EXPECT_EQ(in->SampleProps()->lActual, 33);
    EXPECT_EQ(in->SampleProps()->tStop, 20);
    s->Release();
    EXPECT_EQ(in->Receive(nullptr), E_POINTER);
}

// A sample that claims IMediaSample2 without giving it; everything else is the real sample's.
class ClaimingSample final : public IMediaSample {
public:
    explicit ClaimingSample(IMediaSample* real) : m_real(real) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IMediaSample2) return S_OK;
        if (riid != IID_IUnknown && riid != IID_IMediaSample) return E_NOINTERFACE;
        *ppv = static_cast<IMediaSample*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetPointer(BYTE** pp) override { return m_real->GetPointer(pp); }
    LONG GetSize() override { return m_real->GetSize(); }
    HRESULT GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_real->GetTime(s, e); }
    HRESULT SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_real->SetTime(s, e); }
    HRESULT IsSyncPoint() override { return m_real->IsSyncPoint(); }
    HRESULT SetSyncPoint(BOOL b) override { return m_real->SetSyncPoint(b); }
    HRESULT IsPreroll() override { return m_real->IsPreroll(); }
    HRESULT SetPreroll(BOOL b) override { return m_real->SetPreroll(b); }
    LONG GetActualDataLength() override { return m_real->GetActualDataLength(); }
    HRESULT SetActualDataLength(LONG n) override { return m_real->SetActualDataLength(n); }
    HRESULT GetMediaType(AM_MEDIA_TYPE** pp) override { return m_real->GetMediaType(pp); }
    HRESULT SetMediaType(AM_MEDIA_TYPE* p) override { return m_real->SetMediaType(p); }
    HRESULT IsDiscontinuity() override { return m_real->IsDiscontinuity(); }
    HRESULT SetDiscontinuity(BOOL b) override { return m_real->SetDiscontinuity(b); }
    HRESULT GetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_real->GetMediaTime(s, e); }
    HRESULT SetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_real->SetMediaTime(s, e); }

private:
    IMediaSample* m_real;
};

TEST_F(InputPinTest, ASampleClaimingTheSecondInterfaceWithoutGivingItIsReadThroughTheFirst) {
    ASSERT_EQ(f->Pause(), S_OK);
    IMediaSample* s = Sample(21);
    REFERENCE_TIME start = 5, stop = 9;
    s->SetTime(&start, &stop);
    ClaimingSample claiming(s);
    ASSERT_EQ(in->Receive(&claiming), S_OK);
    EXPECT_EQ(in->SampleProps()->lActual, 21);
    EXPECT_EQ(in->SampleProps()->tStop, 9);
    s->Release();
}

TEST_F(InputPinTest, ARefusedTypeChangeAbortsTheStream) {
    in->b.check = [](const CMediaType* pmt) { return *pmt->Type() == MEDIATYPE_Stream ? S_OK : S_FALSE; };
    ASSERT_EQ(f->Pause(), S_OK);
    IMediaSample* s = Sample(8);
    CMediaType accepted(&MEDIATYPE_Stream);
    s->SetMediaType(&accepted);
    EXPECT_EQ(in->Receive(s), S_OK);
    CMediaType refused(&MEDIATYPE_Audio);
    s->SetMediaType(&refused);
    EXPECT_EQ(in->Receive(s), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(in->cEndOfStream, 1);
    ASSERT_EQ(graph.events.size(), 1u);
    EXPECT_EQ(graph.events[0].code, EC_ERRORABORT);
    EXPECT_EQ(graph.events[0].param1, VFW_E_TYPE_NOT_ACCEPTED);
    s->SetMediaType(nullptr);
    EXPECT_EQ(in->Receive(s), VFW_E_RUNTIME_ERROR); // until flushed or stopped
    s->Release();
}

TEST_F(InputPinTest, ReceiveMultipleStopsAtTheFirstSampleNotTaken) {
    ASSERT_EQ(f->Pause(), S_OK);
    IMediaSample* s[3] = {Sample(1), Sample(2), Sample(3)};
    CMediaType refused(&MEDIATYPE_Audio);
    in->b.check = [](const CMediaType*) { return S_FALSE; };
    s[1]->SetMediaType(&refused);
    LONG processed = -1;
    EXPECT_EQ(in->ReceiveMultiple(s, 3, &processed), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(processed, 1);
    for (IMediaSample* x : s) x->Release();
}

TEST_F(InputPinTest, KeepsOneAllocatorUntilTold) {
    IMemAllocator* a1 = nullptr;
    IMemAllocator* a2 = nullptr;
    ASSERT_EQ(in->GetAllocator(&a1), S_OK);
    ASSERT_EQ(in->GetAllocator(&a2), S_OK);
    EXPECT_EQ(a1, a2);
    a2->Release();
    ASSERT_EQ(in->NotifyAllocator(alloc, TRUE), S_OK);
    EXPECT_EQ(in->Allocator(), alloc);
    EXPECT_TRUE(in->IsReadOnly());
    EXPECT_EQ(a1->Release(), 0u); // the pin let its own go
    ALLOCATOR_PROPERTIES props;
    EXPECT_EQ(in->GetAllocatorRequirements(&props), E_NOTIMPL);
    EXPECT_EQ(in->NotifyAllocator(nullptr, FALSE), E_POINTER);
}

TEST_F(InputPinTest, InactiveWithoutAnAllocatorSaysSo) {
    EXPECT_EQ(in->Inactive(), VFW_E_NO_ALLOCATOR);
    in->NotifyAllocator(alloc, FALSE);
    ASSERT_EQ(in->BeginFlush(), S_OK);
    EXPECT_EQ(in->Inactive(), S_OK);
    EXPECT_FALSE(in->IsFlushing());
    IMediaSample* s = nullptr;
    EXPECT_EQ(alloc->GetBuffer(&s, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    alloc->Commit();
}

TEST(InputPinCanBlock, AnswersForTheFiltersOutputs) {
    ComScope com;
    CTestFilter* f = CTestFilter::Create();
    CTestInputPin* in = f->AddInput(u"in", "in");
    EXPECT_EQ(in->ReceiveCanBlock(), S_OK); // no output: this pin is where samples end

    CTestOutputPin* out = f->AddOutput(u"out", "out");
    CTestFilter* down = CTestFilter::Create();
    CTestInputPin* downIn = down->AddInput(u"in", "in");
    CMediaType mt = MakeType(MEDIATYPE_Stream, 1);
    ASSERT_EQ(out->Connect(downIn, &mt), S_OK);
    downIn->canBlock = S_FALSE;
    EXPECT_EQ(in->ReceiveCanBlock(), S_FALSE);
    downIn->canBlock = S_OK;
    EXPECT_EQ(in->ReceiveCanBlock(), S_OK);

    downIn->Disconnect();
    out->Disconnect();
    EXPECT_EQ(down->Release(), 0u);
    EXPECT_EQ(f->Release(), 0u);
}

} // namespace
