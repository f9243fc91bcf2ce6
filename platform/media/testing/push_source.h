// A push source: one output pin whose worker delivers a counted run of samples (or samples
// until stopped), then end of stream. Delivery starts when the filter runs.
#pragma once

#include "framework/streams.h"

namespace host {

struct PushSourceOptions {
    LONG lSamples = 8;                 // samples per run; -1 delivers until stopped
    LONG cbSample = 1316;              // bytes per sample
    LONG cBuffers = 4;                 // buffers asked of the allocator
    DWORD dwDelayMs = 0;               // pause after each delivery
    REFERENCE_TIME rtStep = 400'000;   // duration of one sample
    GUID majortype = MEDIATYPE_Stream; // the one type offered
    GUID subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    LONG lTypeChangeAt = -1;           // this sample carries a changed type (major type Audio)
};

class CPushSourcePin;

class CPushSource : public CBaseFilter {
public:
    // A new source with one reference.
    static CPushSource* Create(const PushSourceOptions& options);

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    LONG SamplesDelivered() const;
    HRESULT LastDeliverResult() const;
    const PushSourceOptions& Options() const { return m_options; }
    // Byte i of sample n, so that a sink can check what it got.
    static BYTE PatternByte(LONG n, LONG i) { return static_cast<BYTE>(n * 7 + i); }

private:
    explicit CPushSource(const PushSourceOptions& options);
    ~CPushSource() override;

    CCritSec m_csFilter;
    const PushSourceOptions m_options;
    CPushSourcePin* m_pPin = nullptr;
};

} // namespace host
