// A downstream filter that misbehaves on purpose: it refuses every sample, keeps every sample
// it gets, or blocks in Receive until it is stopped.
#pragma once

#include "framework/streams.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace device_test {

enum class SinkBehaviour { Refuse, KeepSamples, BlockUntilStopped };

class CStubbornSinkPin;

class CStubbornSink : public CBaseFilter {
public:
    // A new sink with one reference.
    static CStubbornSink* Create(SinkBehaviour behaviour, HRESULT hrRefusal = E_FAIL);

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;

    LONG SamplesOffered() const { return m_lOffered.load(); }

private:
    friend class CStubbornSinkPin;
    CStubbornSink(SinkBehaviour behaviour, HRESULT hrRefusal);
    ~CStubbornSink() override;

    HRESULT Take(IMediaSample* pSample);

    CCritSec m_csFilter;
    const SinkBehaviour m_behaviour;
    const HRESULT m_hrRefusal;
    CStubbornSinkPin* m_pPin = nullptr;
    std::atomic<LONG> m_lOffered{0};
    std::mutex m_lock;
    std::condition_variable m_stopped;
    bool m_bStopping = false;
    std::vector<IMediaSample*> m_kept; // released when the sink goes
};

} // namespace device_test
