#include "framework/inputpin.h"

#include "framework/memalloc.h"

CBaseInputPin::CBaseInputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr,
                             LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() { SafeRelease(m_pAllocator); }

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (IsFlushing()) return S_FALSE;
    if (HasRunTimeError()) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    if (!ppAllocator) return E_POINTER;
    *ppAllocator = nullptr;
    CAutoLock lock(m_pLock);
    if (!m_pAllocator) {
        HRESULT hr = CreateMemoryAllocator(&m_pAllocator);
        if (FAILED(hr)) {
            m_pAllocator = nullptr;
            return hr;
        }
    }
    *ppAllocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    if (!pAllocator) return E_POINTER;
    CAutoLock lock(m_pLock);
    pAllocator->AddRef();
    SafeRelease(m_pAllocator);
    m_pAllocator = pAllocator;
    m_bReadOnly = bReadOnly;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

namespace {

// The properties record of a sample that only offers IMediaSample.
HRESULT ReadBasicProperties(IMediaSample* pSample, AM_SAMPLE2_PROPERTIES* pProps) {
    std::memset(pProps, 0, sizeof(*pProps));
    pProps->cbData = sizeof(*pProps);
    HRESULT hr = pSample->GetTime(&pProps->tStart, &pProps->tStop);
    if (SUCCEEDED(hr)) {
        pProps->dwSampleFlags |= AM_SAMPLE_TIMEVALID;
        if (hr == S_OK) pProps->dwSampleFlags |= AM_SAMPLE_STOPVALID;
    }
    if (pSample->IsSyncPoint() == S_OK) pProps->dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    if (pSample->IsPreroll() == S_OK) pProps->dwSampleFlags |= AM_SAMPLE_PREROLL;
    if (pSample->IsDiscontinuity() == S_OK) pProps->dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
    pProps->lActual = pSample->GetActualDataLength();
    pProps->cbBuffer = pSample->GetSize();
    hr = pSample->GetPointer(&pProps->pbBuffer);
    if (FAILED(hr)) return hr;
    hr = pSample->GetMediaType(&pProps->pMediaType);
    if (FAILED(hr)) return hr;
    if (hr == S_OK) pProps->dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

} // namespace

HRESULT CBaseInputPin::Receive(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;

    // A type read through IMediaSample is a copy this pin must free.
    AM_MEDIA_TYPE* pOwnedType = nullptr;
    IMediaSample2* pSample2 = nullptr;
    // A sample that claims the interface without giving it is read through IMediaSample.
    if (SUCCEEDED(SafeQueryInterface(pSample, IID_IMediaSample2, reinterpret_cast<void**>(&pSample2)))) {
        hr = pSample2->GetProperties(sizeof(m_SampleProps), reinterpret_cast<BYTE*>(&m_SampleProps));
        pSample2->Release();
    } else {
        hr = ReadBasicProperties(pSample, &m_SampleProps);
        pOwnedType = m_SampleProps.pMediaType;
    }
    if (FAILED(hr)) return hr;

    if ((m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) && m_SampleProps.pMediaType) {
        CMediaType mt;
        HRESULT hrType = mt.Set(*m_SampleProps.pMediaType);
        if (SUCCEEDED(hrType)) hrType = CheckMediaType(&mt);
        if (pOwnedType) {
            DeleteMediaType(pOwnedType);
            m_SampleProps.pMediaType = nullptr;
        }
        if (hrType != S_OK) {
            SetRunTimeError(TRUE);
            EndOfStream();
            m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
            return VFW_E_INVALIDMEDIATYPE;
        }
        return S_OK;
    }
    DeleteMediaType(pOwnedType);
    return S_OK;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) {
    if (!pSamples || !nSamplesProcessed) return E_POINTER;
    *nSamplesProcessed = 0;
    HRESULT hr = S_OK;
    while (nSamples-- > 0) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK) break;
        ++*nSamplesProcessed;
    }
    return hr;
}

HRESULT CBaseInputPin::ReceiveCanBlock() {
    const int cPins = m_pFilter->GetPinCount();
    int cOutputPins = 0;
    for (int c = 0; c < cPins; ++c) {
        CBasePin* pPin = m_pFilter->GetPin(c);
        if (!pPin) break;
        if (pPin->Direction() != PINDIR_OUTPUT) continue;
        IPin* pConnected = nullptr;
        if (FAILED(pPin->ConnectedTo(&pConnected))) continue;
        ++cOutputPins;
        IMemInputPin* pInputPin = nullptr;
        HRESULT hr = SafeQueryInterface(pConnected, IID_IMemInputPin, reinterpret_cast<void**>(&pInputPin));
        pConnected->Release();
        if (FAILED(hr)) return S_OK;
        hr = pInputPin->ReceiveCanBlock();
        pInputPin->Release();
        if (hr != S_FALSE) return S_OK;
    }
    return cOutputPins == 0 ? S_OK : S_FALSE;
}

HRESULT CBaseInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    SetFlushing(TRUE);
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    SetFlushing(FALSE);
    SetRunTimeError(FALSE);
    return S_OK;
}

HRESULT CBaseInputPin::Notify(IBaseFilter* pSender, Quality) { return pSender ? S_OK : E_POINTER; }

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) return hr;
        SafeRelease(m_pAllocator);
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    SetRunTimeError(FALSE);
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    SetFlushing(FALSE);
    return m_pAllocator->Decommit();
}
