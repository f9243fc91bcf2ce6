// The record queue, the pools and the waits that join the parser to the delivery threads.
#include "demux/demuxevent.h"
#include "demux/records.h"

#include "plat/media.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Entry = QUEUE_ENTRY_CPP<_MEDIA_SAMPLE*>;

struct Gate final : ICppWaitGate {
    std::atomic<BOOL> bOpen{TRUE};
    BOOL MayWait() override { return bOpen.load(); }
};

TEST(CppQueue, IsFifoWithPushHeadInFront) {
    RECORD_QUEUE queue(CPPOBJECT_LOCK, nullptr);
    Entry a, b, c;
    queue.PushTail(&a);
    queue.PushTail(&b);
    queue.PushHead(&c);
    EXPECT_EQ(queue.GetCount(), 3);
    EXPECT_EQ(queue.PopHead(), &c);
    EXPECT_EQ(queue.PopHead(), &a);
    EXPECT_EQ(queue.PopHead(), &b);
    EXPECT_EQ(queue.PopHead(), nullptr);
    EXPECT_EQ(queue.GetCount(), 0);
    // Emptied, the queue must link a new entry as both head and tail.
    queue.PushTail(&a);
    EXPECT_EQ(queue.PopHead(), &a);
    EXPECT_EQ(queue.PopHead(), nullptr);
    queue.PushTail(nullptr);
    queue.PushHead(nullptr);
    EXPECT_EQ(queue.GetCount(), 0);
}

int g_nReleased = 0;
void CountRelease(_MEDIA_SAMPLE*) {
    g_nReleased++;
}

TEST(CppQueue, ClearCallsReleaseForEveryCarriedRecord) {
    g_nReleased = 0;
    _MEDIA_SAMPLE record = {};
    Entry a, b, empty;
    a.pData = &record;
    b.pData = &record;
    {
        RECORD_QUEUE queue(CPPOBJECT_LOCK, CountRelease);
        queue.PushTail(&a);
        queue.PushTail(&empty);
        queue.Clear();
        EXPECT_EQ(queue.GetCount(), 0);
        EXPECT_EQ(queue.PopHead(), nullptr);
        queue.PushTail(&b);
    }
    EXPECT_EQ(g_nReleased, 2) << "Clear and the destructor each release the carried record once";
}

TEST(CDemuxRecords, StartsWithEveryRecordFreeInIndexOrder) {
    HRESULT hr = S_OK;
    CDemuxRecords records(&hr);
    ASSERT_EQ(hr, S_OK);
    for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
        EXPECT_EQ(records.Free(nStream)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
        EXPECT_EQ(records.Filled(nStream)->GetCount(), 0);
        RECORD_ENTRY* pFirst = records.Free(nStream)->PopHead();
        RECORD_ENTRY* pSecond = records.Free(nStream)->PopHead();
        EXPECT_EQ(pSecond->pData, pFirst->pData + 1);
        EXPECT_EQ(pFirst->pData->nLength, 0u);
        // The buffer must hold a full record: write its last byte.
        pFirst->pData->pData[CDemuxRecords::RecordSize(nStream) - 1] = 1;
        records.Recycle(nStream, pFirst);
        records.Recycle(nStream, pSecond);
    }
}

// A delivered record goes back to the front of its free queue, so the next record begun is the
// one just used, still in the cache.
TEST(CDemuxRecords, ARecycledRecordIsTheNextOneTaken) {
    HRESULT hr = S_OK;
    CDemuxRecords records(&hr);
    ASSERT_EQ(hr, S_OK);
    RECORD_ENTRY* pFirst = records.Free(DEMUX_AUDIO)->PopHead();
    RECORD_ENTRY* pSecond = records.Free(DEMUX_AUDIO)->PopHead();
    pSecond->pData->nLength = 10;
    records.Recycle(DEMUX_AUDIO, pSecond);
    EXPECT_EQ(pSecond->pData->nLength, 0u) << "emptied on the way";
    EXPECT_EQ(records.Free(DEMUX_AUDIO)->PopHead(), pSecond);
    records.Recycle(DEMUX_AUDIO, pSecond);
    records.Recycle(DEMUX_AUDIO, pFirst);
}

TEST(CDemuxRecords, RecycleFilledEmptiesEveryWaitingRecord) {
    HRESULT hr = S_OK;
    CDemuxRecords records(&hr);
    ASSERT_EQ(hr, S_OK);
    for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
        for (int i = 0; i < 3; i++) {
            RECORD_ENTRY* pEntry = records.Free(nStream)->PopHead();
            pEntry->pData->nLength = 10;
            pEntry->pData->nReadPos = 4;
            records.Filled(nStream)->PushTail(pEntry);
        }
    }
    records.RecycleFilled();
    for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
        EXPECT_EQ(records.Filled(nStream)->GetCount(), 0);
        ASSERT_EQ(records.Free(nStream)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
        while (RECORD_ENTRY* pEntry = records.Free(nStream)->PopHead()) {
            EXPECT_EQ(pEntry->pData->nLength, 0u);
            EXPECT_EQ(pEntry->pData->nReadPos, 0u);
        }
    }
}

// A consumer that returns an entry wakes the waiting producer at once.
TEST(CppQueueWait, WaiterTakesTheEntryReturnedByAnotherThread) {
    RECORD_QUEUE queue(CPPOBJECT_LOCK, nullptr);
    Gate gate;
    Entry a;
    std::atomic<bool> bReturned{false};
    std::thread consumer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        bReturned = true;
        queue.PushTail(&a);
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(queue.PopHeadWait(&gate), &a);
    EXPECT_TRUE(bReturned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    consumer.join();
}

TEST(CppQueueWait, ClosingTheGateAndWakingEndsTheWait) {
    RECORD_QUEUE queue(CPPOBJECT_LOCK, nullptr);
    Gate gate;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        gate.bOpen = FALSE;
        queue.WakeWaiters();
    });
    EXPECT_EQ(queue.PopHeadWait(&gate), nullptr);
    stopper.join();
    // A closed gate never waits.
    EXPECT_EQ(queue.PopHeadWait(&gate), nullptr);
}

// Many hand-overs between a producer that waits and a consumer that returns entries: every
// entry comes back and none is lost or duplicated.
TEST(CppQueueWait, ProducerAndConsumerExchangeWithoutLoss) {
    // Entries outlive the queues, whose destructors unlink what they still hold.
    _MEDIA_SAMPLE records[4] = {};
    Entry entries[4];
    RECORD_QUEUE free(CPPOBJECT_LOCK, nullptr);
    RECORD_QUEUE filled(CPPOBJECT_LOCK, nullptr);
    CDemuxEvent evFilled;
    filled.SetSignal(&evFilled);
    Gate gate;
    for (int i = 0; i < 4; i++) {
        entries[i].pData = &records[i];
        free.PushTail(&entries[i]);
    }
    constexpr int kRounds = 2000;
    std::atomic<int> nConsumed{0};
    std::thread consumer([&] {
        int nSeen = 0;
        while (nSeen < kRounds) {
            Entry* pEntry = filled.PopHead();
            if (!pEntry) {
                evFilled.Wait(50);
                continue;
            }
            EXPECT_EQ(pEntry->pData->rtTime, nSeen);
            nSeen++;
            free.PushTail(pEntry);
        }
        nConsumed = nSeen;
    });
    for (int i = 0; i < kRounds; i++) {
        Entry* pEntry = free.PopHeadWait(&gate);
        ASSERT_NE(pEntry, nullptr);
        pEntry->pData->rtTime = i;
        filled.PushTail(pEntry);
    }
    consumer.join();
    EXPECT_EQ(nConsumed, kRounds);
    EXPECT_EQ(free.GetCount(), 4);
}

TEST(CDemuxEvent, APushFromAnotherThreadWakesTheSleeper) {
    RECORD_QUEUE filled(CPPOBJECT_LOCK, nullptr);
    CDemuxEvent evFilled;
    filled.SetSignal(&evFilled);
    Entry a;
    std::thread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        filled.PushTail(&a);
    });
    EXPECT_TRUE(evFilled.Wait(INFINITE));
    EXPECT_EQ(filled.PopHead(), &a);
    producer.join();
    EXPECT_FALSE(evFilled.Check()) << "an auto-reset event wakes one wait per push";

    CDemuxEvent evManual(TRUE);
    evManual.Set();
    EXPECT_TRUE(evManual.Check());
    EXPECT_TRUE(evManual.Check());
    evManual.Reset();
    EXPECT_FALSE(evManual.Wait(10));
}

} // namespace
