// The intrusive FIFO that hands payload records between the parser and the delivery threads.
// Entries are owned by whoever fills the queue; the queue only links them, so no operation
// allocates and every one is a constant-time pointer move under the queue's own lock.
#pragma once

#include "plat/types.h"

#include <condition_variable>
#include <mutex>

// Lock modes of a CppObject: either of the two low bits makes every operation take the lock.
#define CPPOBJECT_NOLOCK 0
#define CPPOBJECT_LOCK 1

// Asked, under the queue's lock, whether a caller that found the queue empty may wait for an
// entry. It must answer at once and must not touch the queue.
class ICppWaitGate {
public:
    virtual BOOL MayWait() = 0;

protected:
    ~ICppWaitGate() = default;
};

// Told after every push, outside the queue's lock, so that a consumer can sleep on its own
// event (together with its other reasons to wake) instead of polling.
class ICppQueueSignal {
public:
    virtual void Signal() = 0;

protected:
    ~ICppQueueSignal() = default;
};

class CppObject {
public:
    explicit CppObject(LONG nLockMode) : m_nLockMode(nLockMode) {}
    CppObject(const CppObject&) = delete;
    CppObject& operator=(const CppObject&) = delete;
    virtual ~CppObject() = default;

protected:
    BOOL IsLocking() const { return (m_nLockMode & 3) != 0; }

    LONG m_nLockMode;
    // Only taken in locking mode; the condition lets an empty queue be waited on.
    std::mutex m_cs;
    std::condition_variable m_cvPushed;
};

template <class T> struct QUEUE_ENTRY_CPP {
    QUEUE_ENTRY_CPP() = default;
    QUEUE_ENTRY_CPP(const QUEUE_ENTRY_CPP&) = delete;
    QUEUE_ENTRY_CPP& operator=(const QUEUE_ENTRY_CPP&) = delete;
    virtual ~QUEUE_ENTRY_CPP() = default;

    QUEUE_ENTRY_CPP* pNext = nullptr;
    T pData{};
};

template <class T> class CppQueue : public CppObject {
public:
    using ENTRY = QUEUE_ENTRY_CPP<T>;
    using PFNRELEASE = void (*)(T);

    CppQueue(LONG nLockMode, PFNRELEASE pfnRelease) : CppObject(nLockMode), m_pfnRelease(pfnRelease) {}
    ~CppQueue() override { Clear(); }

    virtual void PushTail(ENTRY* pEntry) {
        if (!pEntry) return;
        {
            CAutoQueueLock lock(this);
            pEntry->pNext = nullptr;
            if (m_pTail) {
                m_pTail->pNext = pEntry;
            } else {
                m_pHead = pEntry;
            }
            m_pTail = pEntry;
            m_nCount++;
        }
        Pushed();
    }

    virtual void PushHead(ENTRY* pEntry) {
        if (!pEntry) return;
        {
            CAutoQueueLock lock(this);
            pEntry->pNext = m_pHead;
            m_pHead = pEntry;
            if (!m_pTail) m_pTail = pEntry;
            m_nCount++;
        }
        Pushed();
    }

    virtual void Clear() {
        CAutoQueueLock lock(this);
        while (m_pHead) {
            ENTRY* pEntry = m_pHead;
            m_pHead = pEntry->pNext;
            m_nCount--;
            if (m_pfnRelease && pEntry->pData) m_pfnRelease(pEntry->pData);
        }
        m_pTail = nullptr;
    }

    ENTRY* PopHead() {
        CAutoQueueLock lock(this);
        return Unlink();
    }

    // PopHead that, while the gate allows it, waits for an entry instead of returning none.
    // The gate is asked again after every wake, so a gate that closes and then calls
    // WakeWaiters ends the wait. Without locking mode or without a gate it never waits.
    ENTRY* PopHeadWait(ICppWaitGate* pGate) {
        if (!IsLocking()) return Unlink();
        std::unique_lock<std::mutex> lock(m_cs);
        while (!m_pHead) {
            if (!pGate || !pGate->MayWait()) return nullptr;
            m_cvPushed.wait(lock);
        }
        return Unlink();
    }

    // Wakes every caller waiting in PopHeadWait so that it asks its gate again. Taking the
    // lock first means a gate closed before this call cannot be missed by a waiter.
    void WakeWaiters() {
        if (!IsLocking()) return;
        { std::lock_guard<std::mutex> lock(m_cs); }
        m_cvPushed.notify_all();
    }

    // The consumer to tell about pushes, or none. Set it before the queue is shared.
    void SetSignal(ICppQueueSignal* pSignal) { m_pSignal = pSignal; }

    LONG GetCount() {
        CAutoQueueLock lock(this);
        return m_nCount;
    }

protected:
    class CAutoQueueLock {
    public:
        explicit CAutoQueueLock(CppQueue* pQueue) : m_pQueue(pQueue->IsLocking() ? pQueue : nullptr) {
            if (m_pQueue) m_pQueue->m_cs.lock();
        }
        CAutoQueueLock(const CAutoQueueLock&) = delete;
        CAutoQueueLock& operator=(const CAutoQueueLock&) = delete;
        ~CAutoQueueLock() {
            if (m_pQueue) m_pQueue->m_cs.unlock();
        }

    private:
        CppQueue* m_pQueue;
    };

    ENTRY* Unlink() {
        ENTRY* pEntry = m_pHead;
        if (!pEntry) return nullptr;
        m_pHead = pEntry->pNext;
        if (!m_pHead) m_pTail = nullptr;
        m_nCount--;
        return pEntry;
    }

    void Pushed() {
        if (IsLocking()) m_cvPushed.notify_all();
        if (m_pSignal) m_pSignal->Signal();
    }

    ENTRY* m_pHead = nullptr;
    ENTRY* m_pTail = nullptr;
    LONG m_nCount = 0;
    PFNRELEASE m_pfnRelease;
    ICppQueueSignal* m_pSignal = nullptr;
};
