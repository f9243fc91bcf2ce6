#include "framework/enummediatypes.h"

#include "plat/com.h"

#include <climits>
#include <new>

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes) : m_pPin(pPin) {
    m_pPin->AddRef();
    if (pEnumMediaTypes) {
        m_Position = pEnumMediaTypes->m_Position;
        m_Version = pEnumMediaTypes->m_Version;
    } else {
        m_Version = m_pPin->GetMediaTypeVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pPin->Release(); }

HRESULT CEnumMediaTypes::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumMediaTypes || riid == IID_IUnknown) {
        return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumMediaTypes::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG CEnumMediaTypes::Release() {
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) delete this;
    return static_cast<ULONG>(lRef);
}

HRESULT CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    if (!ppMediaTypes) return E_POINTER;
    if (!pcFetched && cMediaTypes != 1) return E_INVALIDARG;
    if (pcFetched) *pcFetched = 0;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;

    ULONG cFetched = 0;
    while (cFetched < cMediaTypes) {
        CMediaType cmt;
        // The position moves on even past a failure, so a bad entry is not asked for again.
        if (m_Position == INT_MAX) break;
        if (m_pPin->GetMediaType(m_Position++, &cmt) != S_OK) break;
        auto* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!pmt) break;
        // The record takes the format block over; the caller frees both.
        *pmt = static_cast<const AM_MEDIA_TYPE&>(cmt);
        cmt.pbFormat = nullptr;
        cmt.cbFormat = 0;
        cmt.pUnk = nullptr;
        ppMediaTypes[cFetched++] = pmt;
    }
    if (pcFetched) *pcFetched = cFetched;
    return cFetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    if (cMediaTypes == 0) return S_OK;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const ULONG cRoom = static_cast<ULONG>(INT_MAX - m_Position);
    m_Position = cMediaTypes > cRoom ? INT_MAX : m_Position + static_cast<int>(cMediaTypes);
    CMediaType cmt;
    return m_pPin->GetMediaType(m_Position - 1, &cmt) == S_OK ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Reset() {
    m_Position = 0;
    m_Version = m_pPin->GetMediaTypeVersion();
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
