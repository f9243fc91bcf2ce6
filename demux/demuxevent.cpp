#include "demux/demuxevent.h"

#include <chrono>

void CDemuxEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_cs);
        m_bSet = TRUE;
    }
    if (m_bManualReset) {
        m_cv.notify_all();
    } else {
        m_cv.notify_one();
    }
}

void CDemuxEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_cs);
    m_bSet = FALSE;
}

BOOL CDemuxEvent::Wait(DWORD dwMilliseconds) {
    std::unique_lock<std::mutex> lock(m_cs);
    auto isSet = [this] { return m_bSet != FALSE; };
    if (dwMilliseconds == 0xFFFFFFFF) {
        m_cv.wait(lock, isSet);
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), isSet)) {
        return FALSE;
    }
    if (!m_bManualReset) m_bSet = FALSE;
    return TRUE;
}
