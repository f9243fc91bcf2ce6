#include "relay_filter.h"

namespace host_tests {
namespace {

YRA_DEFINE_GUID(CLSID_RelayFilter, 0x2F6A8E11, 0x9C0D, 0x4B57, 0xA1, 0x3E, 0x55, 0x70, 0x1D, 0x84, 0xC2, 0x01);

class CRelayInput : public CBaseInputPin {
public:
    using CBaseInputPin::CBaseInputPin;
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
};

// Offers the type its input was connected with, or a stream type before that.
class CRelayOutput : public CBaseOutputPin {
public:
    using CBaseOutputPin::CBaseOutputPin;
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override {
        if (iPosition != 0) return S_FALSE;
        pmt->SetType(&MEDIATYPE_Stream);
        pmt->SetFormatType(&FORMAT_None);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override {
        pRequest->cBuffers = 2;
        pRequest->cbBuffer = 4096;
        ALLOCATOR_PROPERTIES actual;
        return pAlloc->SetProperties(pRequest, &actual);
    }
};

} // namespace

CRelayFilter::CRelayFilter(StateLog* pLog, std::string tag)
    : CBaseFilter(u"relay", nullptr, &m_csFilter, CLSID_RelayFilter), m_pLog(pLog), m_tag(std::move(tag)) {
    HRESULT hr = S_OK;
    m_pIn = new CRelayInput(u"relay in", this, &m_csFilter, &hr, u"In");
    m_pOut = new CRelayOutput(u"relay out", this, &m_csFilter, &hr, u"Out");
}

CRelayFilter::~CRelayFilter() {
    delete m_pIn;
    delete m_pOut;
}

CRelayFilter* CRelayFilter::Create(StateLog* pLog, const std::string& tag) {
    auto* f = new CRelayFilter(pLog, tag);
    f->AddRef();
    return f;
}

HRESULT CRelayFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IAMFilterMiscFlags) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* CRelayFilter::GetPin(int n) { return n == 0 ? m_pIn : n == 1 ? m_pOut : nullptr; }

IPin* CRelayFilter::Input() { return m_pIn; }

IPin* CRelayFilter::Output() { return m_pOut; }

HRESULT CRelayFilter::Stop() {
    m_pLog->Add(m_tag + " stop");
    return CBaseFilter::Stop();
}

HRESULT CRelayFilter::Pause() {
    m_pLog->Add(m_tag + " pause");
    if (FAILED(hrPause)) return hrPause;
    return CBaseFilter::Pause();
}

HRESULT CRelayFilter::Run(REFERENCE_TIME tStart) {
    m_pLog->Add(m_tag + " run");
    rtLastStart = tStart;
    return CBaseFilter::Run(tStart);
}

} // namespace host_tests
