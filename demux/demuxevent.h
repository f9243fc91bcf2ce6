// An event a delivery thread sleeps on: set by its filled queue on every push and by whoever
// has a command for it, so the thread wakes for work instead of polling.
#pragma once

#include "demux/cppqueue.h"

#include <condition_variable>
#include <mutex>

class CDemuxEvent : public ICppQueueSignal {
public:
    // An auto-reset event wakes one wait per Set; a manual-reset one stays set until Reset.
    explicit CDemuxEvent(BOOL bManualReset = FALSE) : m_bManualReset(bManualReset) {}
    CDemuxEvent(const CDemuxEvent&) = delete;
    CDemuxEvent& operator=(const CDemuxEvent&) = delete;
    virtual ~CDemuxEvent() = default;

    void Set();
    void Reset();
    // True when the event was set within dwMilliseconds (INFINITE waits without limit).
    BOOL Wait(DWORD dwMilliseconds);
    BOOL Check() { return Wait(0); }
    // Sleeps until the event is set or bReady() holds, and resets an auto-reset event. bReady
    // is asked under the event's lock before every sleep, so a condition made true before a
    // Set cannot slip in between the check and the sleep. It must not take a lock under
    // which anyone calls Set.
    template <class Ready> void WaitUntil(Ready bReady) {
        std::unique_lock<std::mutex> lock(m_cs);
        m_cv.wait(lock, [&] { return m_bSet || bReady(); });
        if (!m_bManualReset) m_bSet = FALSE;
    }

    void Signal() override { Set(); }

private:
    const BOOL m_bManualReset;
    BOOL m_bSet = FALSE;
    std::mutex m_cs;
    std::condition_variable m_cv;
};
