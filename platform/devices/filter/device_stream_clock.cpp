#include "platform/devices/filter/device_stream_clock.h"

namespace host {
namespace {

using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;

} // namespace

void DeviceStreamClock::Restart() {
    std::lock_guard hold(m_lock);
    m_held = 0;
    m_steadyBase = std::chrono::steady_clock::now();
}

void DeviceStreamClock::Resume() {
    std::lock_guard hold(m_lock);
    m_steadyBase = std::chrono::steady_clock::now() - Units(m_held);
}

HRESULT DeviceStreamClock::GetStreamTime(REFERENCE_TIME* now) {
    if (!now) return E_POINTER;
    std::lock_guard hold(m_lock);
    if (m_filter.State() != State_Running) {
        *now = m_held;
        return S_OK;
    }
    REFERENCE_TIME t = 0;
    HRESULT hr = m_filter.StreamTime(t);
    if (hr == VFW_E_NO_CLOCK) {
        t = std::chrono::duration_cast<Units>(std::chrono::steady_clock::now() - m_steadyBase).count();
    } else if (FAILED(hr)) {
        return hr;
    }
    m_held = t;
    *now = t;
    return S_OK;
}

} // namespace host
