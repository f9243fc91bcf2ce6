// The device's stream time: the graph's reference clock minus the run's start while the filter
// runs, held where it was while the filter is paused. A graph without a clock leaves the device
// to its own steady clock, as a live source runs at the pace its hardware produces.
#pragma once

#include "framework/basefilter.h"
#include "platform/devices/encoder/stream_pacer.h"

#include <chrono>
#include <mutex>

namespace host {

class DeviceStreamClock final : public encoder::StreamClock {
public:
    explicit DeviceStreamClock(CBaseFilter& filter) : m_filter(filter) {}

    // The filter left the stopped state: the stream starts at zero.
    void Restart();
    // The filter runs (again): a clockless stream carries on from where it was held.
    void Resume();

    // Streaming thread only.
    HRESULT GetStreamTime(REFERENCE_TIME* now) override;

private:
    CBaseFilter& m_filter;
    std::mutex m_lock;
    REFERENCE_TIME m_held = 0; // the stream time last seen while running
    std::chrono::steady_clock::time_point m_steadyBase = std::chrono::steady_clock::now();
};

} // namespace host
