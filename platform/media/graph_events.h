// The graph's event queue and its completion count. Filters post from any thread; the
// application reads with GetEvent and WaitForCompletion.
#pragma once

#include "plat/media.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace host {

class GraphEvents {
public:
    // Leaving the stopped state: these filters (identities) must each complete before the
    // graph reports EC_COMPLETE.
    void Arm(std::vector<IUnknown*> renderers);
    // The graph stopped: late completions count for nothing.
    void Disarm();
    // The graph's state as WaitForCompletion sees it; leaving running wakes its waiters.
    void SetRunning(bool bRunning);
    // A renderer left the graph: it no longer holds completion back.
    void Forget(IUnknown* pRenderer);

    // A filter's event. pSender is the identity of an EC_COMPLETE sender, else null.
    void Notify(LONG lCode, LONG_PTR lParam1, LONG_PTR lParam2, IUnknown* pSender);

    HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout);
    HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode);
    HRESULT CancelDefaultHandling(LONG lEvCode);
    HRESULT RestoreDefaultHandling(LONG lEvCode);
    HRESULT SetNotifyFlags(LONG lNoNotifyFlags);
    HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    void Queue(const Event& e);  // under m_lock
    void Complete(HRESULT hr);   // under m_lock

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Event> m_queue;
    std::vector<IUnknown*> m_pending;
    bool m_bArmed = false;
    bool m_bRunning = false;
    HRESULT m_hrComplete = S_OK;
    LONG m_lCompletion = 0; // the event that ended this run, 0 while none has
    bool m_bDefaultComplete = true;
    LONG m_lNotifyFlags = 0;
};

} // namespace host
