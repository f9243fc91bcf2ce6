#include "sample_sink.h"

#include <chrono>
#include <new>
#include <thread>

namespace host {
namespace {

YRA_DEFINE_GUID(CLSID_TestSampleSink, 0x5E0B3A71, 0x2C4D, 0x4F1A, 0x9B, 0x6E, 0x41, 0x7D, 0x0C, 0x22, 0x8A, 0x02);

} // namespace

class CSampleSinkPin : public CBaseInputPin {
public:
    CSampleSinkPin(CSampleSink* pFilter, CCritSec* pLock, HRESULT* phr)
        : CBaseInputPin(u"Sample sink pin", pFilter, pLock, phr, u"In"), m_pSink(pFilter) {}

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        const GUID& accepted = m_pSink->m_options.acceptMajortype;
        return (accepted == GUID_NULL || *pmt->Type() == accepted) ? S_OK : S_FALSE;
    }

    HRESULT Receive(IMediaSample* pSample) override {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        ReceivedSample s;
        BYTE* pData = nullptr;
        pSample->GetPointer(&pData);
        s.data.assign(pData, pData + pSample->GetActualDataLength());
        s.hrTime = pSample->GetTime(&s.start, &s.stop);
        s.bSyncPoint = pSample->IsSyncPoint() == S_OK;
        m_pSink->Record(std::move(s));
        if (m_pSink->m_options.dwReceiveDelayMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_pSink->m_options.dwReceiveDelayMs));
        }
        return S_OK;
    }

    HRESULT EndOfStream() override {
        // A stopped sink has nothing to complete.
        if (IsStopped()) return VFW_E_WRONG_STATE;
        m_pSink->RecordEndOfStream();
        m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }

private:
    CSampleSink* const m_pSink;
};

CSampleSink::CSampleSink(const SampleSinkOptions& options)
    : CBaseFilter(u"Sample sink", nullptr, &m_csFilter, CLSID_TestSampleSink), m_options(options) {
    HRESULT hr = S_OK;
    m_pPin = new (std::nothrow) CSampleSinkPin(this, &m_csFilter, &hr);
}

CSampleSink::~CSampleSink() { delete m_pPin; }

CSampleSink* CSampleSink::Create(const SampleSinkOptions& options) {
    auto* pSink = new (std::nothrow) CSampleSink(options);
    if (!pSink) return nullptr;
    if (!pSink->m_pPin) {
        delete pSink;
        return nullptr;
    }
    pSink->AddRef();
    return pSink;
}

int CSampleSink::GetPinCount() { return 1; }

CBasePin* CSampleSink::GetPin(int n) { return n == 0 ? m_pPin : nullptr; }

void CSampleSink::Record(ReceivedSample sample) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_samples.push_back(std::move(sample));
    m_changed.notify_all();
}

void CSampleSink::RecordEndOfStream() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_bEndOfStream = true;
    m_changed.notify_all();
}

std::vector<ReceivedSample> CSampleSink::Samples() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_samples;
}

size_t CSampleSink::SampleCount() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_samples.size();
}

bool CSampleSink::EndOfStreamSeen() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bEndOfStream;
}

bool CSampleSink::WaitForSamples(size_t n, DWORD dwTimeoutMs) const {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(dwTimeoutMs), [&] { return m_samples.size() >= n; });
}

} // namespace host
