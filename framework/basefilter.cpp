#include "framework/basefilter.h"

#include "framework/basepin.h"
#include "framework/enumpins.h"
#include "plat/com.h"

#include <atomic>
#include <new>
#include <string>
#include <string_view>

namespace {

WCHAR* DuplicateName(LPCWSTR pName) {
    if (!pName) return nullptr;
    const size_t cch = std::char_traits<WCHAR>::length(pName) + 1;
    auto* p = new (std::nothrow) WCHAR[cch];
    if (p) std::memcpy(p, pName, cch * sizeof(WCHAR));
    return p;
}

bool IsConnectedPin(CBasePin* pPin) { return pPin->IsConnected(); }

} // namespace

CBaseFilter::CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk), m_clsid(clsid), m_pLock(pLock) {}

CBaseFilter::CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT* phr)
    : CUnknown(pName, pUnk, phr), m_clsid(clsid), m_pLock(pLock) {}

CBaseFilter::~CBaseFilter() {
    delete[] m_pName;
    SafeRelease(m_pClock);
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    }
    if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

FILTER_STATE CBaseFilter::State() const {
    return std::atomic_ref<FILTER_STATE>(const_cast<FILTER_STATE&>(m_State)).load();
}

void CBaseFilter::SetState(FILTER_STATE state) { std::atomic_ref<FILTER_STATE>(m_State).store(state); }

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME& rtStream) {
    if (!m_pClock) return VFW_E_NO_CLOCK;
    HRESULT hr = m_pClock->GetTime(&rtStream);
    if (FAILED(hr)) return hr;
    rtStream -= std::atomic_ref<REFERENCE_TIME>(m_tStart).load();
    return S_OK;
}

LONG CBaseFilter::GetPinVersion() { return __atomic_load_n(&m_PinVersion, __ATOMIC_SEQ_CST); }

void CBaseFilter::IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() { return nullptr; }

HRESULT CBaseFilter::GetClassID(CLSID* pClsID) {
    if (!pClsID) return E_POINTER;
    *pClsID = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (State() != State_Stopped) {
        const int cPins = GetPinCount();
        for (int c = 0; c < cPins; ++c) {
            CBasePin* pPin = GetPin(c);
            if (!pPin) break;
            if (!IsConnectedPin(pPin)) continue;
            HRESULT hrTmp = pPin->Inactive();
            if (FAILED(hrTmp) && SUCCEEDED(hr)) hr = hrTmp;
        }
    }
    SetState(State_Stopped);
    return hr;
}

HRESULT CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (State() == State_Stopped) {
        const int cPins = GetPinCount();
        for (int c = 0; c < cPins; ++c) {
            CBasePin* pPin = GetPin(c);
            if (!pPin) break;
            if (!IsConnectedPin(pPin)) continue;
            HRESULT hr = pPin->Active();
            if (FAILED(hr)) {
                // Pins already started would otherwise keep their threads and committed
                // allocators: a later Stop calls no pin of a stopped filter.
                for (int u = 0; u < c; ++u) {
                    CBasePin* pDone = GetPin(u);
                    if (pDone && IsConnectedPin(pDone)) pDone->Inactive();
                }
                return hr;
            }
        }
    }
    SetState(State_Paused);
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    std::atomic_ref<REFERENCE_TIME>(m_tStart).store(tStart);
    if (State() == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (State() != State_Running) {
        const int cPins = GetPinCount();
        for (int c = 0; c < cPins; ++c) {
            CBasePin* pPin = GetPin(c);
            if (!pPin) break;
            if (!IsConnectedPin(pPin)) continue;
            HRESULT hr = pPin->Run(tStart);
            if (FAILED(hr)) return hr;
        }
    }
    SetState(State_Running);
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    *State = this->State();
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    if (pClock) pClock->AddRef();
    if (m_pClock) m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pClock = m_pClock;
    if (m_pClock) m_pClock->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!ppPin) return E_POINTER;
    *ppPin = nullptr;
    if (!Id) return E_POINTER;
    CAutoLock lock(m_pLock);
    const int cPins = GetPinCount();
    for (int i = 0; i < cPins; ++i) {
        CBasePin* pPin = GetPin(i);
        if (!pPin) break;
        if (pPin->Name() && std::u16string_view(pPin->Name()) == std::u16string_view(Id)) {
            return GetInterface(static_cast<IPin*>(pPin), reinterpret_cast<void**>(ppPin));
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    CopyWideName(pInfo->achName, MAX_FILTER_NAME, m_pName);
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    m_pSink = nullptr;
    if (pGraph) {
        // Kept without a reference: the graph holds this filter, not the other way round.
        if (SUCCEEDED(SafeQueryInterface(pGraph, IID_IMediaEventSink, reinterpret_cast<void**>(&m_pSink))))
            m_pSink->Release();
    }
    delete[] m_pName;
    m_pName = nullptr;
    if (pName) {
        m_pName = DuplicateName(pName);
        if (!m_pName) return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

namespace {

// Registers or removes a filter's setup data with the older filter mapper.
HRESULT SetupWithMapper(const AMOVIESETUP_FILTER* pSetup, BOOL bRegister) {
    HRESULT hrInit = CoInitialize(nullptr);
    IFilterMapper* pMapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void**>(&pMapper));
    if (SUCCEEDED(hr)) {
        const CLSID& clsid = *pSetup->clsID;
        if (!bRegister) {
            hr = pMapper->UnregisterFilter(clsid);
        } else {
            hr = pMapper->RegisterFilter(clsid, pSetup->strName, pSetup->dwMerit);
            for (UINT p = 0; SUCCEEDED(hr) && p < pSetup->nPins; ++p) {
                const AMOVIESETUP_PIN& pin = pSetup->lpPin[p];
                hr = pMapper->RegisterPin(clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                          pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL,
                                          pin.strConnectsToPin);
                for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
                    const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
                    hr = pMapper->RegisterPinType(clsid, pin.strName,
                                                  type.clsMajorType ? *type.clsMajorType : CLSID_NULL,
                                                  type.clsMinorType ? *type.clsMinorType : CLSID_NULL);
                }
            }
        }
        pMapper->Release();
    }
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return hr;
}

} // namespace

HRESULT CBaseFilter::Register() {
    const AMOVIESETUP_FILTER* pSetup = GetSetupData();
    if (!pSetup) return S_FALSE;
    HRESULT hr = SetupWithMapper(pSetup, TRUE);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CBaseFilter::Unregister() {
    const AMOVIESETUP_FILTER* pSetup = GetSetupData();
    if (!pSetup) return S_FALSE;
    HRESULT hr = SetupWithMapper(pSetup, FALSE);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    return FAILED(hr) ? hr : S_OK;
}

BOOL CBaseFilter::IsActive() {
    CAutoLock lock(m_pLock);
    return State() == State_Paused || State() == State_Running;
}

HRESULT CBaseFilter::NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    IMediaEventSink* pSink = m_pSink;
    if (!pSink) return E_NOTIMPL;
    if (EventCode == EC_COMPLETE) EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return pSink->Notify(EventCode, EventParam1, EventParam2);
}

HRESULT CBaseFilter::ReconnectPin(IPin* pPin, const AM_MEDIA_TYPE* pmt) {
    if (!m_pGraph) return E_NOINTERFACE;
    IFilterGraph2* pGraph2 = nullptr;
    if (SUCCEEDED(SafeQueryInterface(m_pGraph, IID_IFilterGraph2, reinterpret_cast<void**>(&pGraph2)))) {
        HRESULT hr = pGraph2->ReconnectEx(pPin, pmt);
        pGraph2->Release();
        return hr;
    }
    return m_pGraph->Reconnect(pPin);
}
