#include "graph_events.h"

#include <algorithm>
#include <chrono>

namespace host {
namespace {

bool EndsRun(LONG code) { return code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT; }

// Waits until pred holds or the timeout passes; a negative timeout (INFINITE) never passes.
template <class Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, LONG msTimeout, Pred pred) {
    if (msTimeout < 0) {
        cv.wait(lock, pred);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(msTimeout), pred);
}

} // namespace

void GraphEvents::Arm(std::vector<IUnknown*> renderers) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_pending = std::move(renderers);
    m_bArmed = !m_pending.empty();
    m_hrComplete = S_OK;
    m_lCompletion = 0;
}

void GraphEvents::Disarm() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_pending.clear();
    m_bArmed = false;
}

void GraphEvents::SetRunning(bool bRunning) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_bRunning = bRunning;
    m_changed.notify_all();
}

void GraphEvents::Forget(IUnknown* pRenderer) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = std::find(m_pending.begin(), m_pending.end(), pRenderer);
    if (it == m_pending.end()) return;
    m_pending.erase(it);
    if (m_pending.empty() && m_bArmed) Complete(m_hrComplete);
}

void GraphEvents::Notify(LONG lCode, LONG_PTR lParam1, LONG_PTR lParam2, IUnknown* pSender) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (lCode != EC_COMPLETE || !m_bDefaultComplete) {
        Queue({lCode, lParam1, lParam2});
        return;
    }
    // One EC_COMPLETE for the graph, once every renderer has sent its own.
    auto it = std::find(m_pending.begin(), m_pending.end(), pSender);
    if (it == m_pending.end()) return;
    m_pending.erase(it);
    if (FAILED(static_cast<HRESULT>(lParam1)) && SUCCEEDED(m_hrComplete)) m_hrComplete = static_cast<HRESULT>(lParam1);
    if (m_pending.empty()) Complete(m_hrComplete);
}

void GraphEvents::Complete(HRESULT hr) {
    m_bArmed = false;
    Queue({EC_COMPLETE, hr, 0});
}

void GraphEvents::Queue(const Event& e) {
    if (EndsRun(e.code) && m_lCompletion == 0) m_lCompletion = e.code;
    if (!(m_lNotifyFlags & AM_MEDIAEVENT_NONOTIFY)) m_queue.push_back(e);
    m_changed.notify_all();
}

HRESULT GraphEvents::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) {
    if (!lEventCode || !lParam1 || !lParam2) return E_POINTER;
    *lEventCode = 0;
    *lParam1 = 0;
    *lParam2 = 0;
    std::unique_lock<std::mutex> hold(m_lock);
    if (!WaitFor(m_changed, hold, msTimeout, [this] { return !m_queue.empty(); })) return E_ABORT;
    const Event e = m_queue.front();
    m_queue.pop_front();
    *lEventCode = e.code;
    *lParam1 = e.param1;
    *lParam2 = e.param2;
    return S_OK;
}

HRESULT GraphEvents::WaitForCompletion(LONG msTimeout, LONG* pEvCode) {
    if (!pEvCode) return E_POINTER;
    *pEvCode = 0;
    std::unique_lock<std::mutex> hold(m_lock);
    if (!m_bRunning) return VFW_E_WRONG_STATE;
    if (!WaitFor(m_changed, hold, msTimeout, [this] { return m_lCompletion != 0 || !m_bRunning; })) return E_ABORT;
    if (m_lCompletion == 0) return VFW_E_WRONG_STATE; // stopped while waiting
    *pEvCode = m_lCompletion;
    return S_OK;
}

HRESULT GraphEvents::CancelDefaultHandling(LONG lEvCode) {
    if (lEvCode != EC_COMPLETE) return S_FALSE;
    std::lock_guard<std::mutex> hold(m_lock);
    m_bDefaultComplete = false;
    return S_OK;
}

HRESULT GraphEvents::RestoreDefaultHandling(LONG lEvCode) {
    if (lEvCode != EC_COMPLETE) return S_FALSE;
    std::lock_guard<std::mutex> hold(m_lock);
    m_bDefaultComplete = true;
    return S_OK;
}

HRESULT GraphEvents::SetNotifyFlags(LONG lNoNotifyFlags) {
    if (lNoNotifyFlags & ~AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(m_lock);
    m_lNotifyFlags = lNoNotifyFlags;
    if (m_lNotifyFlags & AM_MEDIAEVENT_NONOTIFY) m_queue.clear();
    return S_OK;
}

HRESULT GraphEvents::GetNotifyFlags(LONG* lplNoNotifyFlags) {
    if (!lplNoNotifyFlags) return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    *lplNoNotifyFlags = m_lNotifyFlags;
    return S_OK;
}

} // namespace host

