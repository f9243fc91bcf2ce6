#include "platform/devices/encoder/stream_pacer.h"

#include <algorithm>

namespace host::encoder {

void StopSignal::Raise() {
    {
        std::lock_guard lock(m_mutex);
        m_raised = true;
    }
    m_changed.notify_all();
}

void StopSignal::Reset() {
    std::lock_guard lock(m_mutex);
    m_raised = false;
}

bool StopSignal::IsRaised() const {
    std::lock_guard lock(m_mutex);
    return m_raised;
}

bool StopSignal::WaitFor(std::chrono::nanoseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_raised; });
}

HRESULT SteadyStreamClock::GetStreamTime(REFERENCE_TIME* now) {
    if (!now) return E_POINTER;
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    *now = std::chrono::duration_cast<std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>>(elapsed).count();
    return S_OK;
}

HRESULT WaitForStreamTime(StreamClock& clock, REFERENCE_TIME due, const StopSignal& stop) {
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    for (;;) {
        if (stop.IsRaised()) return S_FALSE;
        REFERENCE_TIME now = 0;
        if (HRESULT hr = clock.GetStreamTime(&now); FAILED(hr)) return hr;
        if (now >= due) return S_OK;
        const auto sleep = std::min<std::chrono::nanoseconds>(Units(due - now), kPacingSlice);
        if (stop.WaitFor(sleep)) return S_FALSE;
    }
}

} // namespace host::encoder
