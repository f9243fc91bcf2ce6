#include "stubborn_sink.h"

#include <new>

namespace device_test {
namespace {

YRA_DEFINE_GUID(CLSID_StubbornSink, 0x2F8C1E40, 0x7A55, 0x4D0B, 0x9E, 0x13, 0x6B, 0x2A, 0x90, 0x5C, 0x11,
                0x07);

} // namespace

class CStubbornSinkPin : public CBaseInputPin {
public:
    CStubbornSinkPin(CStubbornSink* pFilter, CCritSec* pLock, HRESULT* phr)
        : CBaseInputPin(u"Stubborn pin", pFilter, pLock, phr, u"In"), m_pSink(pFilter) {}

    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }

    HRESULT Receive(IMediaSample* pSample) override {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        return m_pSink->Take(pSample);
    }

private:
    CStubbornSink* const m_pSink;
};

CStubbornSink::CStubbornSink(SinkBehaviour behaviour, HRESULT hrRefusal)
    : CBaseFilter(u"Stubborn sink", nullptr, &m_csFilter, CLSID_StubbornSink), m_behaviour(behaviour),
      m_hrRefusal(hrRefusal) {
    HRESULT hr = S_OK;
    m_pPin = new (std::nothrow) CStubbornSinkPin(this, &m_csFilter, &hr);
}

CStubbornSink::~CStubbornSink() {
    for (IMediaSample* pSample : m_kept)
        pSample->Release();
    delete m_pPin;
}

CStubbornSink* CStubbornSink::Create(SinkBehaviour behaviour, HRESULT hrRefusal) {
    auto* pSink = new (std::nothrow) CStubbornSink(behaviour, hrRefusal);
    if (!pSink) return nullptr;
    pSink->AddRef();
    return pSink;
}

int CStubbornSink::GetPinCount() {
    return 1;
}

CBasePin* CStubbornSink::GetPin(int n) {
    return n == 0 ? m_pPin : nullptr;
}

HRESULT CStubbornSink::Stop() {
    {
        std::lock_guard hold(m_lock);
        m_bStopping = true;
    }
    m_stopped.notify_all();
    return CBaseFilter::Stop();
}

HRESULT CStubbornSink::Take(IMediaSample* pSample) {
    ++m_lOffered;
    switch (m_behaviour) {
    case SinkBehaviour::Refuse:
        return m_hrRefusal;
    case SinkBehaviour::KeepSamples: {
        std::lock_guard hold(m_lock);
        pSample->AddRef();
        m_kept.push_back(pSample);
        return S_OK;
    }
    case SinkBehaviour::BlockUntilStopped: {
        std::unique_lock hold(m_lock);
        m_stopped.wait(hold, [this] { return m_bStopping; });
        return VFW_E_WRONG_STATE;
    }
    }
    return S_OK;
}

} // namespace device_test
