// A sink: one input pin that records every sample it takes and reports completion at end of
// stream, as a renderer does.
#pragma once

#include "framework/streams.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace host {

struct SampleSinkOptions {
    GUID acceptMajortype = GUID_NULL; // GUID_NULL takes any type
    DWORD dwReceiveDelayMs = 0;       // time spent in each Receive
};

struct ReceivedSample {
    std::vector<BYTE> data;
    HRESULT hrTime = S_OK;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool bSyncPoint = false;
};

class CSampleSinkPin;

class CSampleSink : public CBaseFilter {
public:
    // A new sink with one reference.
    static CSampleSink* Create(const SampleSinkOptions& options = {});

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    std::vector<ReceivedSample> Samples() const;
    size_t SampleCount() const;
    bool EndOfStreamSeen() const;
    // Waits until n samples have arrived; false on timeout.
    bool WaitForSamples(size_t n, DWORD dwTimeoutMs) const;

private:
    friend class CSampleSinkPin;
    explicit CSampleSink(const SampleSinkOptions& options);
    ~CSampleSink() override;

    void Record(ReceivedSample sample);
    void RecordEndOfStream();

    CCritSec m_csFilter;
    const SampleSinkOptions m_options;
    CSampleSinkPin* m_pPin = nullptr;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<ReceivedSample> m_samples;
    bool m_bEndOfStream = false;
};

} // namespace host
