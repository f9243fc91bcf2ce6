#include "framework/memalloc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// An allocator held through its interface, released at the end of the test.
struct Allocator {
    Allocator(BOOL bCallback = FALSE) {
        HRESULT hr = S_OK;
        auto* p = new CMemAllocator(u"test", nullptr, &hr, bCallback);
        p->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&alloc));
    }
    ~Allocator() {
        if (alloc) alloc->Release();
    }
    HRESULT Set(LONG count, LONG size, LONG align = 1, LONG prefix = 0, ALLOCATOR_PROPERTIES* pActual = nullptr) {
        ALLOCATOR_PROPERTIES request{count, size, align, prefix};
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = alloc->SetProperties(&request, pActual ? pActual : &actual);
        return hr;
    }
    IMediaSample* Get(DWORD flags = 0, HRESULT* phr = nullptr) {
        IMediaSample* s = nullptr;
        HRESULT hr = alloc->GetBuffer(&s, nullptr, nullptr, flags);
        if (phr) *phr = hr;
        return s;
    }
    IMemAllocator* alloc = nullptr;
};

TEST(MemAllocatorProperties, GrowBufferSoPrefixAndBufferFillWholeAlignmentUnits) {
    Allocator a;
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(a.Set(3, 1000, 16, 4, &actual), S_OK);
    EXPECT_EQ(actual.cBuffers, 3);
    EXPECT_EQ(actual.cbBuffer, 1004);
    EXPECT_EQ(actual.cbAlign, 16);
    EXPECT_EQ(actual.cbPrefix, 4);
    ASSERT_EQ(a.Set(3, 1000, 16, 8, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 1000);

    ALLOCATOR_PROPERTIES stored{};
    ASSERT_EQ(a.alloc->GetProperties(&stored), S_OK);
    EXPECT_EQ(stored.cbBuffer, 1000);
    EXPECT_EQ(stored.cbPrefix, 8);
}

TEST(MemAllocatorProperties, LargeVideoRequestIsGrantedAsAsked) {
    Allocator a;
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(a.Set(24, 786432, 1, 0, &actual), S_OK);
    EXPECT_EQ(actual.cBuffers, 24);
    EXPECT_EQ(actual.cbBuffer, 786432);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* s = a.Get();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetSize(), 786432);
    s->Release();
    a.alloc->Decommit();
}

TEST(MemAllocatorProperties, RefusesAlignmentsOfZeroOrPastTheGranularity) {
    Allocator a;
    ALLOCATOR_PROPERTIES actual{7, 7, 7, 7};
    EXPECT_EQ(a.Set(1, 100, 0, 0, &actual), VFW_E_BADALIGN);
    EXPECT_EQ(actual.cBuffers, 0); // cleared even on failure
    EXPECT_EQ(actual.cbBuffer, 0);
    EXPECT_EQ(a.Set(1, 100, 0x20000), VFW_E_BADALIGN);
    EXPECT_EQ(a.Set(1, 100, -1), VFW_E_BADALIGN);
    EXPECT_EQ(a.Set(1, 100, 0x10000), S_OK);
    EXPECT_EQ(a.Set(1, 100, 3), S_OK); // any alignment below the granularity
    ALLOCATOR_PROPERTIES request{1, 1, 1, 0};
    EXPECT_EQ(a.alloc->SetProperties(nullptr, &actual), E_POINTER);
    EXPECT_EQ(a.alloc->SetProperties(&request, nullptr), E_POINTER);
    EXPECT_EQ(a.alloc->GetProperties(nullptr), E_POINTER);
}

TEST(MemAllocatorProperties, RefusesChangesWhileCommittedOrWithSamplesOut) {
    Allocator a;
    ASSERT_EQ(a.Set(2, 100), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    EXPECT_EQ(a.Set(2, 200), VFW_E_ALREADY_COMMITTED);
    IMediaSample* s = a.Get();
    ASSERT_EQ(a.alloc->Decommit(), S_OK);
    EXPECT_EQ(a.Set(2, 200), VFW_E_BUFFERS_OUTSTANDING);
    s->Release();
    EXPECT_EQ(a.Set(2, 200), S_OK);
}

TEST(MemAllocatorProperties, NegativePrefixIsRefused) {
    Allocator a;
    EXPECT_EQ(a.Set(2, 100, 1, -16), E_INVALIDARG);
}

// Buffers, slots and the whole block stay within 32-bit sizes; a request past them is refused,
// not wrapped round into a small block.
TEST(MemAllocatorProperties, SizesPastTheLimitAreRefused) {
    Allocator a;
    EXPECT_EQ(a.Set(1, 0x7FFFFFFF, 16), E_INVALIDARG) << "the grown buffer passes the limit";
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(a.Set(1, 0x7FFFFFFF, 1, 1, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 0x7FFFFFFF);
    EXPECT_EQ(a.alloc->Commit(), E_OUTOFMEMORY) << "buffer and prefix pass the limit";
    ASSERT_EQ(a.Set(4, 0x40000000), S_OK);
    EXPECT_EQ(a.alloc->Commit(), E_OUTOFMEMORY) << "the block passes the limit";
    IMediaSample* s = nullptr;
    EXPECT_EQ(a.alloc->GetBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(a.Set(2, 100), S_OK);
    EXPECT_EQ(a.alloc->Commit(), S_OK) << "a failed commit leaves the allocator usable";
    a.alloc->Decommit();
}

TEST(MemAllocatorCommit, NeedsPropertiesFirst) {
    Allocator a;
    EXPECT_EQ(a.alloc->Commit(), VFW_E_SIZENOTSET);
    IMediaSample* s = nullptr;
    EXPECT_EQ(a.alloc->GetBuffer(&s, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(s, nullptr);
    ASSERT_EQ(a.Set(0, 100), S_OK);
    EXPECT_EQ(a.alloc->Commit(), VFW_E_SIZENOTSET);
}

TEST(MemAllocatorCommit, BuffersAreAlignedSlotsOfOnePageAlignedBlock) {
    Allocator a;
    ASSERT_EQ(a.Set(3, 1000, 64, 16), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* s[3];
    BYTE* p[3];
    for (int i = 0; i < 3; ++i) {
        s[i] = a.Get();
        ASSERT_NE(s[i], nullptr);
        s[i]->GetPointer(&p[i]);
        EXPECT_EQ(s[i]->GetSize(), 1008);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p[i] - 16) % 64, 0u);
    }
    // Popped from the top of the stack: the last buffer made comes first.
    EXPECT_EQ(p[0] - p[1], 1024);
    EXPECT_EQ(p[1] - p[2], 1024);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p[2] - 16) % 4096, 0u);
    p[0][1007] = 0xAB; // the whole buffer is usable
    for (IMediaSample* x : s) x->Release();
    a.alloc->Decommit();
}

// Every alignment that is accepted is given, up to the granularity. Several allocators are
// committed at once so that a block that happened to land on the alignment cannot hide a fault.
TEST(MemAllocatorCommit, EveryAcceptedAlignmentIsGiven) {
    struct Case {
        LONG align, prefix;
    };
    for (Case c : {Case{0x2000, 0}, Case{0x8000, 32}, Case{0x10000, 0}, Case{0x10000, 100}, Case{24, 8}}) {
        Allocator a[6];
        IMediaSample* s[6][2] = {};
        for (int k = 0; k < 6; ++k) {
            ALLOCATOR_PROPERTIES actual{};
            ASSERT_EQ(a[k].Set(2, 5000, c.align, c.prefix, &actual), S_OK);
            ASSERT_EQ(actual.cbAlign, c.align);
            ASSERT_EQ(a[k].alloc->Commit(), S_OK);
            for (IMediaSample*& x : s[k]) {
                x = a[k].Get();
                ASSERT_NE(x, nullptr);
                BYTE* p = nullptr;
                x->GetPointer(&p);
                EXPECT_EQ(reinterpret_cast<uintptr_t>(p - c.prefix) % static_cast<uintptr_t>(c.align), 0u)
                    << "alignment " << c.align << ", prefix " << c.prefix;
                p[x->GetSize() - 1] = 0xAB; // the whole buffer lies in the block
            }
        }
        for (auto& pair : s)
            for (IMediaSample* x : pair)
                x->Release();
        for (Allocator& x : a)
            x.alloc->Decommit();
    }
}

TEST(MemAllocatorFreeList, MostRecentlyReturnedBufferIsHandedOutNext) {
    Allocator a;
    ASSERT_EQ(a.Set(3, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* first = a.Get();
    IMediaSample* second = a.Get();
    first->Release();
    second->Release();
    IMediaSample* next = a.Get();
    EXPECT_EQ(next, second);
    next->Release();
    a.alloc->Decommit();
}

TEST(MemAllocatorGetBuffer, NoWaitFailsAtOnceWhenEveryBufferIsOut) {
    Allocator a;
    ASSERT_EQ(a.Set(1, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* held = a.Get();
    HRESULT hr = S_OK;
    EXPECT_EQ(a.Get(AM_GBF_NOWAIT, &hr), nullptr);
    EXPECT_EQ(hr, VFW_E_TIMEOUT);
    held->Release();
    IMediaSample* again = a.Get(AM_GBF_NOWAIT, &hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(again, held);
    again->Release();
    a.alloc->Decommit();
}

TEST(MemAllocatorGetBuffer, WaiterWakesWhenASampleIsReleased) {
    Allocator a;
    ASSERT_EQ(a.Set(1, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* held = a.Get();
    std::atomic<bool> bGot{false};
    auto waiter = std::async(std::launch::async, [&] {
        IMediaSample* s = nullptr;
        HRESULT hr = a.alloc->GetBuffer(&s, nullptr, nullptr, 0);
        bGot = true;
        if (s) s->Release();
        return hr;
    });
    EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
    EXPECT_FALSE(bGot);
    held->Release();
    EXPECT_EQ(waiter.get(), S_OK);
    a.alloc->Decommit();
}

TEST(MemAllocatorGetBuffer, DecommitWakesWaitersWithNotCommitted) {
    Allocator a;
    ASSERT_EQ(a.Set(1, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* held = a.Get();
    auto waiter = [&] {
        IMediaSample* s = nullptr;
        HRESULT hr = a.alloc->GetBuffer(&s, nullptr, nullptr, 0);
        EXPECT_EQ(s, nullptr);
        return hr;
    };
    auto w1 = std::async(std::launch::async, waiter);
    auto w2 = std::async(std::launch::async, waiter);
    EXPECT_EQ(w1.wait_for(30ms), std::future_status::timeout);
    ASSERT_EQ(a.alloc->Decommit(), S_OK);
    EXPECT_EQ(w1.get(), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(w2.get(), VFW_E_NOT_COMMITTED);
    held->Release();
}

TEST(MemAllocatorDecommit, MemoryStaysUntilTheLastSampleReturnsAndRecommitReusesIt) {
    Allocator a;
    ASSERT_EQ(a.Set(2, 256), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* s1 = a.Get();
    IMediaSample* s2 = a.Get();
    BYTE* p1 = nullptr;
    s1->GetPointer(&p1);
    ASSERT_EQ(a.alloc->Decommit(), S_OK);
    HRESULT hr = S_OK;
    EXPECT_EQ(a.Get(AM_GBF_NOWAIT, &hr), nullptr);
    EXPECT_EQ(hr, VFW_E_NOT_COMMITTED);
    // Samples out still own their memory.
    std::memset(p1, 0x5A, 256);
    s1->Release();
    ASSERT_EQ(a.alloc->Commit(), S_OK); // cancels the pending decommit
    s2->Release();
    IMediaSample* again = a.Get();
    EXPECT_EQ(again, s2);
    IMediaSample* other = a.Get();
    EXPECT_EQ(other, s1);
    again->Release();
    other->Release();
    a.alloc->Decommit();
}

TEST(MemAllocatorDecommit, AllocatorOutlivesItsLastReferenceWhileSamplesAreOut) {
    Allocator a;
    ASSERT_EQ(a.Set(2, 256), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* s = a.Get();
    a.alloc->Decommit();
    const LONG before = CBaseObject::ObjectsActive();
    a.alloc->Release();
    a.alloc = nullptr;
    EXPECT_EQ(CBaseObject::ObjectsActive(), before); // held by the pending decommit
    BYTE* p = nullptr;
    s->GetPointer(&p);
    p[0] = 1;
    s->Release(); // completes the decommit and lets the allocator go
    EXPECT_EQ(CBaseObject::ObjectsActive(), before - 1);
}

struct CountingNotify final : IMemAllocatorNotifyCallbackTemp {
    std::atomic<int> calls{0};
    LONG refs = 1;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    HRESULT NotifyRelease() override {
        ++calls;
        return S_OK;
    }
};

TEST(MemAllocatorCallback, OfferedOnlyWhenEnabledAndCalledForEveryReturn) {
    Allocator plain;
    IMemAllocatorCallbackTemp* cb = nullptr;
    EXPECT_EQ(plain.alloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&cb)),
              E_NOINTERFACE);

    Allocator a(TRUE);
    ASSERT_EQ(a.alloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&cb)), S_OK);
    CountingNotify notify;
    ASSERT_EQ(cb->SetNotify(&notify), S_OK);
    EXPECT_EQ(notify.refs, 2);
    ASSERT_EQ(a.Set(2, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    IMediaSample* s1 = a.Get();
    IMediaSample* s2 = a.Get();
    LONG free = -1;
    cb->GetFreeCount(&free);
    EXPECT_EQ(free, 0);
    s1->Release();
    s2->Release();
    EXPECT_EQ(notify.calls, 2);
    cb->GetFreeCount(&free);
    EXPECT_EQ(free, 2);
    cb->SetNotify(nullptr);
    EXPECT_EQ(notify.refs, 1);
    cb->Release();
    a.alloc->Decommit();
}

TEST(MemAllocatorThreads, ManyThreadsShareFewBuffers) {
    Allocator a;
    ASSERT_EQ(a.Set(2, 64), S_OK);
    ASSERT_EQ(a.alloc->Commit(), S_OK);
    std::atomic<int> inUse{0};
    std::atomic<int> maxInUse{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                IMediaSample* s = nullptr;
                ASSERT_EQ(a.alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
                int n = ++inUse;
                int m = maxInUse;
                while (n > m && !maxInUse.compare_exchange_weak(m, n)) {}
                --inUse;
                s->Release();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_LE(maxInUse, 2);
    LONG count = 0;
    ALLOCATOR_PROPERTIES props;
    a.alloc->GetProperties(&props);
    count = props.cBuffers;
    EXPECT_EQ(count, 2);
    a.alloc->Decommit();
}

} // namespace
