#include "framework/enumpins.h"

#include "framework/basepin.h"

#include <algorithm>
#include <new>

CEnumPins::CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins) : m_pFilter(pFilter) {
    m_pFilter->AddRef();
    if (!pEnumPins) {
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
        return;
    }
    m_Position = pEnumPins->m_Position;
    m_PinCount = pEnumPins->m_PinCount;
    m_Version = pEnumPins->m_Version;
    try {
        m_PinCache = pEnumPins->m_PinCache;
    } catch (const std::bad_alloc&) {
        // A clone that forgot what was returned would hand pins out twice; start it past the end.
        m_Position = m_PinCount;
    }
}

CEnumPins::~CEnumPins() { m_pFilter->Release(); }

HRESULT CEnumPins::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumPins || riid == IID_IUnknown) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumPins::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG CEnumPins::Release() {
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) delete this;
    return static_cast<ULONG>(lRef);
}

HRESULT CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ppPins) return E_POINTER;
    if (!pcFetched && cPins != 1) return E_INVALIDARG;
    if (pcFetched) *pcFetched = 0;

    if (AreWeOutOfSync()) {
        // Start over on the new set; the cache keeps pins already handed out from coming back.
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
        m_Position = 0;
    }

    ULONG cFetched = 0;
    while (cFetched < cPins && m_Position < m_PinCount) {
        CBasePin* pPin = m_pFilter->GetPin(m_Position++);
        if (!pPin) {
            // Take back what this call handed out, so a failed call leaves no references.
            for (ULONG i = 0; i < cFetched; ++i) {
                m_PinCache.pop_back();
                ppPins[i]->Release();
                ppPins[i] = nullptr;
            }
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (std::find(m_PinCache.begin(), m_PinCache.end(), pPin) != m_PinCache.end()) continue;
        try {
            m_PinCache.push_back(pPin);
        } catch (const std::bad_alloc&) {
            --m_Position;
            break;
        }
        ppPins[cFetched] = pPin;
        pPin->AddRef();
        ++cFetched;
    }
    if (pcFetched) *pcFetched = cFetched;
    return cFetched == cPins ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG cPins) {
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const ULONG cLeft = static_cast<ULONG>(m_PinCount - m_Position);
    if (cPins > cLeft) return S_FALSE;
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

HRESULT CEnumPins::Reset() {
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
    m_PinCache.clear();
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumPins(m_pFilter, this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
