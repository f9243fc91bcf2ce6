// Pacing a streaming thread by a clock: wait until a chunk is due, and give up at once when the
// stream is stopped. The device filter supplies the graph's clock through StreamClock.
#pragma once

#include "plat/types.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace host::encoder {

// A stop request that wakes a waiting streaming thread immediately.
class StopSignal {
public:
    void Raise();
    void Reset();
    bool IsRaised() const;
    // Sleeps for up to `timeout`; true when the signal is (or becomes) raised.
    bool WaitFor(std::chrono::nanoseconds timeout) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_raised = false;
};

// How long the stream has been running, in 100-ns units (for the device filter: the graph's
// reference clock minus the run's start time).
class StreamClock {
public:
    virtual ~StreamClock() = default;
    virtual HRESULT GetStreamTime(REFERENCE_TIME* now) = 0;
};

// A stream clock on the system's steady clock, starting at zero when constructed.
class SteadyStreamClock final : public StreamClock {
public:
    SteadyStreamClock() : m_start(std::chrono::steady_clock::now()) {}
    HRESULT GetStreamTime(REFERENCE_TIME* now) override;

private:
    std::chrono::steady_clock::time_point m_start;
};

// Longest sleep between two readings of the clock: a clock that is not the steady one (paused,
// adjusted) is followed within this time.
inline constexpr std::chrono::milliseconds kPacingSlice{10};

// S_OK once the clock reads `due` or later, S_FALSE when `stop` is raised first (within
// microseconds of the raise), or the clock's failure code.
HRESULT WaitForStreamTime(StreamClock& clock, REFERENCE_TIME due, const StopSignal& stop);

} // namespace host::encoder
