#include "push_source.h"

#include <atomic>
#include <chrono>
#include <new>
#include <thread>

namespace host {
namespace {

YRA_DEFINE_GUID(CLSID_TestPushSource, 0x5E0B3A71, 0x2C4D, 0x4F1A, 0x9B, 0x6E, 0x41, 0x7D, 0x0C, 0x22, 0x8A, 0x01);

enum Command : DWORD { CMD_RUN = 1, CMD_EXIT = 2 };

} // namespace

class CPushSourcePin : public CAMThread, public CBaseOutputPin {
public:
    CPushSourcePin(CPushSource* pFilter, CCritSec* pLock, HRESULT* phr, const PushSourceOptions& options)
        : CBaseOutputPin(u"Push source pin", pFilter, pLock, phr, u"Out"), m_options(options) {}

    ~CPushSourcePin() override {
        // A worker still waiting for a command would keep Close waiting.
        if (ThreadExists()) CallWorker(CMD_EXIT);
        Close();
    }

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        return (*pmt->Type() == m_options.majortype && *pmt->Subtype() == m_options.subtype) ? S_OK : S_FALSE;
    }

    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override {
        if (iPosition != 0) return S_FALSE;
        pmt->SetType(&m_options.majortype);
        pmt->SetSubtype(&m_options.subtype);
        pmt->SetFormatType(&FORMAT_None);
        pmt->SetVariableSize();
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override {
        pRequest->cBuffers = m_options.cBuffers;
        pRequest->cbBuffer = m_options.cbSample;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = pAlloc->SetProperties(pRequest, &actual);
        if (FAILED(hr)) return hr;
        return (actual.cBuffers < pRequest->cBuffers || actual.cbBuffer < pRequest->cbBuffer) ? E_INVALIDARG : S_OK;
    }

    HRESULT Active() override {
        HRESULT hr = CBaseOutputPin::Active();
        if (FAILED(hr)) return hr;
        return Create() ? S_OK : E_FAIL;
    }

    HRESULT Run(REFERENCE_TIME) override {
        return ThreadExists() ? static_cast<HRESULT>(CallWorker(CMD_RUN)) : S_OK;
    }

    HRESULT Inactive() override {
        // Decommitting first wakes a worker waiting for a buffer, so it can hear the exit.
        if (m_pAllocator) m_pAllocator->Decommit();
        if (ThreadExists()) {
            CallWorker(CMD_EXIT);
            Close();
        }
        return CBaseOutputPin::Inactive();
    }

    DWORD ThreadProc() override {
        for (;;) {
            DWORD cmd = GetRequest();
            Reply(S_OK);
            if (cmd == CMD_EXIT) return 0;
            if (cmd == CMD_RUN && Stream()) return 0;
        }
    }

    std::atomic<LONG> m_lDelivered{0};
    std::atomic<HRESULT> m_hrLastDeliver{S_OK};

private:
    // Delivers one run; true when told to exit on the way.
    bool Stream() {
        for (LONG n = 0; m_options.lSamples < 0 || n < m_options.lSamples; ++n) {
            DWORD cmd = 0;
            if (CheckRequest(&cmd)) {
                Reply(S_OK);
                if (cmd == CMD_EXIT) return true;
            }
            IMediaSample* pSample = nullptr;
            if (FAILED(GetDeliveryBuffer(&pSample, nullptr, nullptr, 0))) return false;
            Fill(pSample, n);
            HRESULT hr = Deliver(pSample);
            pSample->Release();
            m_hrLastDeliver = hr;
            if (hr != S_OK) return false;
            ++m_lDelivered;
            if (m_options.dwDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(m_options.dwDelayMs));
        }
        DeliverEndOfStream();
        return false;
    }

    void Fill(IMediaSample* pSample, LONG n) {
        BYTE* pData = nullptr;
        pSample->GetPointer(&pData);
        const LONG cb = pSample->GetSize() < m_options.cbSample ? pSample->GetSize() : m_options.cbSample;
        for (LONG i = 0; i < cb; ++i) pData[i] = CPushSource::PatternByte(n, i);
        pSample->SetActualDataLength(cb);
        REFERENCE_TIME start = n * m_options.rtStep;
        REFERENCE_TIME stop = start + m_options.rtStep;
        pSample->SetTime(&start, &stop);
        LONGLONG mediaStart = n;
        LONGLONG mediaStop = n + 1;
        pSample->SetMediaTime(&mediaStart, &mediaStop);
        pSample->SetSyncPoint(n == 0);
        if (n == m_options.lTypeChangeAt) {
            CMediaType changed(&MEDIATYPE_Audio);
            pSample->SetMediaType(&changed);
        }
    }

    const PushSourceOptions m_options;
};

CPushSource::CPushSource(const PushSourceOptions& options)
    : CBaseFilter(u"Push source", nullptr, &m_csFilter, CLSID_TestPushSource), m_options(options) {
    HRESULT hr = S_OK;
    m_pPin = new (std::nothrow) CPushSourcePin(this, &m_csFilter, &hr, m_options);
}

CPushSource::~CPushSource() { delete m_pPin; }

CPushSource* CPushSource::Create(const PushSourceOptions& options) {
    auto* pSource = new (std::nothrow) CPushSource(options);
    if (!pSource) return nullptr;
    if (!pSource->m_pPin) {
        delete pSource;
        return nullptr;
    }
    pSource->AddRef();
    return pSource;
}

int CPushSource::GetPinCount() { return 1; }

CBasePin* CPushSource::GetPin(int n) { return n == 0 ? m_pPin : nullptr; }

LONG CPushSource::SamplesDelivered() const { return m_pPin->m_lDelivered; }

HRESULT CPushSource::LastDeliverResult() const { return m_pPin->m_hrLastDeliver; }

} // namespace host
