#include "framework/basepin.h"

#include "framework/enummediatypes.h"
#include "plat/com.h"

#include <atomic>
#include <new>
#include <string>

void CopyWideName(WCHAR* pDest, size_t cch, LPCWSTR pSrc) {
    size_t n = pSrc ? std::char_traits<WCHAR>::length(pSrc) : 0;
    if (n > cch - 1) n = cch - 1;
    if (n) std::memcpy(pDest, pSrc, n * sizeof(WCHAR));
    pDest[n] = 0;
}

namespace {

// Whether a refusal from CheckMediaType or a receiving pin only means "not this type".
bool IsTypeRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

// A CheckMediaType answer that is not S_OK, as the connection reports it.
HRESULT RefusalCode(HRESULT hr) {
    return (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
}

} // namespace

CBasePin::CBasePin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr), m_dir(dir), m_pLock(pLock), m_pFilter(pFilter) {
    if (pName) {
        const size_t cch = std::char_traits<WCHAR>::length(pName) + 1;
        m_pName = new (std::nothrow) WCHAR[cch];
        if (m_pName) std::memcpy(m_pName, pName, cch * sizeof(WCHAR));
        else if (phr) *phr = E_OUTOFMEMORY;
    }
}

CBasePin::~CBasePin() {
    SafeRelease(m_Connected);
    delete[] m_pName;
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }

ULONG CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

LONG CBasePin::GetMediaTypeVersion() { return __atomic_load_n(&m_TypeVersion, __ATOMIC_SEQ_CST); }

void CBasePin::IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }

void CBasePin::SetRunTimeError(BOOL bError) { __atomic_store_n(&m_bRunTimeError, bError, __ATOMIC_SEQ_CST); }

BOOL CBasePin::HasRunTimeError() const { return __atomic_load_n(&m_bRunTimeError, __ATOMIC_SEQ_CST); }

HRESULT CBasePin::Active() { return S_OK; }

HRESULT CBasePin::Inactive() {
    SetRunTimeError(FALSE);
    return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME) { return S_OK; }

HRESULT CBasePin::SetMediaType(const CMediaType* pmt) { return m_mt.Set(*pmt); }

HRESULT CBasePin::CheckConnect(IPin* pPin) {
    PIN_DIRECTION pd;
    HRESULT hr = pPin->QueryDirection(&pd);
    if (FAILED(hr)) return hr;
    return pd == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return E_UNEXPECTED; }

HRESULT CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (!pReceivePin) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;

    HRESULT hr = S_OK;
    CMediaType mt;
    if (pmt) {
        hr = mt.Set(*pmt);
        if (FAILED(hr)) return hr;
    }
    hr = AgreeMediaType(pReceivePin, pmt ? &mt : nullptr);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt) {
    if (pmt && !pmt->IsPartiallySpecified()) return AttemptConnection(pReceivePin, pmt);

    HRESULT hrFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0; i < 2; ++i) {
        const bool bReceiverList = (i == 0) != (m_bTryMyTypesFirst != FALSE);
        IEnumMediaTypes* pEnum = nullptr;
        HRESULT hr = bReceiverList ? pReceivePin->EnumMediaTypes(&pEnum) : EnumMediaTypes(&pEnum);
        if (FAILED(hr) || !pEnum) continue;
        hr = TryMediaTypes(pReceivePin, pmt, pEnum);
        pEnum->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (!IsTypeRefusal(hr)) hrFailure = hr;
    }
    return hrFailure;
}

HRESULT CBasePin::TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum) {
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr)) return hr;

    HRESULT hrFailure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE* pMediaType = nullptr;
        ULONG cFetched = 0;
        hr = pEnum->Next(1, &pMediaType, &cFetched);
        if (hr != S_OK || cFetched != 1 || !pMediaType) break;

        CMediaType mt;
        HRESULT hrType = mt.Set(*pMediaType);
        DeleteMediaType(pMediaType);
        if (SUCCEEDED(hrType)) {
            if (pmt && !mt.MatchesPartial(pmt)) {
                hrType = VFW_E_NO_ACCEPTABLE_TYPES;
            } else {
                hrType = AttemptConnection(pReceivePin, &mt);
                if (SUCCEEDED(hrType)) return S_OK;
            }
        }
        if (SUCCEEDED(hrFailure) && !IsTypeRefusal(hrType)) hrFailure = hrType;
    }
    return FAILED(hrFailure) ? hrFailure : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const CMediaType* pmt) {
    HRESULT hr = CheckConnect(pReceivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr == S_OK) {
        m_Connected = pReceivePin;
        m_Connected->AddRef();
        hr = SetMediaType(pmt);
        if (SUCCEEDED(hr)) {
            hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(pReceivePin);
                if (SUCCEEDED(hr)) return hr;
                pReceivePin->Disconnect();
            }
        }
    } else {
        hr = RefusalCode(hr);
    }
    BreakConnect();
    SafeRelease(m_Connected);
    return hr;
}

HRESULT CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    CMediaType mt;
    hr = mt.Set(*pmt);
    if (SUCCEEDED(hr)) hr = CheckMediaType(&mt);
    if (hr != S_OK) {
        BreakConnect();
        return RefusalCode(hr);
    }
    m_Connected = pConnector;
    m_Connected->AddRef();
    hr = SetMediaType(&mt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr)) return S_OK;
    }
    SafeRelease(m_Connected);
    BreakConnect();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
    if (!m_Connected) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    SafeRelease(m_Connected);
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pPin) {
    if (!pPin) return E_POINTER;
    IPin* pConnected = m_Connected;
    *pPin = pConnected;
    if (!pConnected) return VFW_E_NOT_CONNECTED;
    pConnected->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_Connected) {
        InitMediaType(pmt);
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    pInfo->pFilter = m_pFilter;
    m_pFilter->AddRef();
    CopyWideName(pInfo->achName, MAX_PIN_NAME, m_pName);
    pInfo->dir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    const size_t cch = (m_pName ? std::char_traits<WCHAR>::length(m_pName) : 0) + 1;
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(cch * sizeof(WCHAR)));
    if (!*Id) return E_OUTOFMEMORY;
    CopyWideName(*Id, cch, m_pName);
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CMediaType mt;
    HRESULT hr = mt.Set(*pmt);
    if (SUCCEEDED(hr)) hr = CheckMediaType(&mt);
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT CBasePin::SetSink(IQualityControl* piqc) {
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}
