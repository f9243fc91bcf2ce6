// Lock, event and semaphore wrappers of the framework. They keep the platform's shapes
// (a recursive critical section, manual or auto-reset events, a counting semaphore) but are
// built on the standard library, so the framework carries no host-specific code.
#pragma once

#include "plat/media.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A recursive lock: the thread that holds it may take it again.
class CCritSec {
public:
    CCritSec() = default;
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock();
    void Unlock();
    // Whether the calling thread holds the lock (for checks, not for decisions).
    BOOL IsLockedByMe() const;

private:
    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    LONG m_lLockCount = 0;
};

inline BOOL CritCheckIn(const CCritSec* pcCrit) { return pcCrit->IsLockedByMe(); }

// Holds a lock for the length of a block.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* plock) : m_pLock(plock) { m_pLock->Lock(); }
    ~CAutoLock() { m_pLock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* const m_pLock;
};

// An event, created not set. A manual-reset event stays set until Reset; an auto-reset
// event releases one waiter and clears itself.
class CAMEvent {
public:
    explicit CAMEvent(BOOL fManualReset = FALSE, HRESULT* phr = nullptr);
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within the timeout (milliseconds, INFINITE waits forever).
    BOOL Wait(DWORD dwTimeout = INFINITE);
    BOOL Check() { return Wait(0); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSignalled = false;
    const bool m_bManualReset;
};

// A counting semaphore with a maximum count.
class CAMSemaphore {
public:
    CAMSemaphore(LONG lInitial, LONG lMaximum);
    CAMSemaphore(const CAMSemaphore&) = delete;
    CAMSemaphore& operator=(const CAMSemaphore&) = delete;

    // Adds lCount (false, and no change, when that would pass the maximum).
    BOOL Release(LONG lCount);
    BOOL Wait(DWORD dwTimeout = INFINITE);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    LONG m_lCount;
    const LONG m_lMaximum;
};
