#include "framework/sync.h"

#include <chrono>

void CCritSec::Lock() {
    m_mutex.lock();
    if (m_lLockCount++ == 0) m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void CCritSec::Unlock() {
    if (--m_lLockCount == 0) m_owner.store(std::thread::id(), std::memory_order_relaxed);
    m_mutex.unlock();
}

BOOL CCritSec::IsLockedByMe() const { return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

namespace {

// Waits on cv until pred holds or the timeout passes; INFINITE never times out.
template <class Pred> bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD dwTimeout,
                                   Pred pred) {
    if (dwTimeout == INFINITE) {
        cv.wait(lock, pred);
        return true;
    }
    // A zero timeout only looks: a timed wait on a deadline already past still sleeps for the
    // timer slack, which made every CheckRequest cost tens of microseconds.
    if (dwTimeout == 0) return pred();
    return cv.wait_for(lock, std::chrono::milliseconds(dwTimeout), pred);
}

} // namespace

CAMEvent::CAMEvent(BOOL fManualReset, HRESULT*) : m_bManualReset(fManualReset != FALSE) {}

void CAMEvent::Set() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_bSignalled = true;
    if (m_bManualReset) m_cv.notify_all();
    else m_cv.notify_one();
}

void CAMEvent::Reset() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_bSignalled = false;
}

BOOL CAMEvent::Wait(DWORD dwTimeout) {
    std::unique_lock<std::mutex> hold(m_mutex);
    if (!WaitFor(m_cv, hold, dwTimeout, [this] { return m_bSignalled; })) return FALSE;
    if (!m_bManualReset) m_bSignalled = false;
    return TRUE;
}

CAMSemaphore::CAMSemaphore(LONG lInitial, LONG lMaximum) : m_lCount(lInitial), m_lMaximum(lMaximum) {}

BOOL CAMSemaphore::Release(LONG lCount) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (lCount <= 0 || lCount > m_lMaximum - m_lCount) return FALSE;
    m_lCount += lCount;
    m_cv.notify_all();
    return TRUE;
}

BOOL CAMSemaphore::Wait(DWORD dwTimeout) {
    std::unique_lock<std::mutex> hold(m_mutex);
    if (!WaitFor(m_cv, hold, dwTimeout, [this] { return m_lCount > 0; })) return FALSE;
    --m_lCount;
    return TRUE;
}
