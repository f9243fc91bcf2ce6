#include "framework/mediasample.h"

#include "framework/memalloc.h"
#include "framework/mtype.h"

#include <cstddef>

CMediaSample::CMediaSample(LPCWSTR, CMemAllocator* pAllocator, HRESULT* phr, LPBYTE pBuffer, LONG length)
    : m_pBuffer(pBuffer), m_cbBuffer(length), m_pAllocator(pAllocator) {
    if (length < 0) {
        m_cbBuffer = 0;
        if (phr) *phr = VFW_E_BUFFER_OVERFLOW;
    }
}

CMediaSample::~CMediaSample() { DeleteMediaType(m_pMediaType); }

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMediaSample || riid == IID_IMediaSample2 || riid == IID_IUnknown) {
        return GetInterface(static_cast<IMediaSample2*>(this), ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG CMediaSample::Release() {
    // The common case is the only holder letting go: no interlocked operation needed.
    LONG lRef;
    if (__atomic_load_n(&m_cRef, __ATOMIC_ACQUIRE) == 1) {
        __atomic_store_n(&m_cRef, 0, __ATOMIC_RELEASE);
        lRef = 0;
    } else {
        lRef = InterlockedDecrement(&m_cRef);
    }
    if (lRef != 0) return static_cast<ULONG>(lRef);

    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
    m_dwFlags = 0;
    m_dwTypeSpecificFlags = 0;
    m_dwStreamId = 0;
    // The allocator may be destroyed by this call, and this sample with it.
    m_pAllocator->ReleaseBuffer(this);
    return 0;
}

HRESULT CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pBuffer;
    return S_OK;
}

LONG CMediaSample::GetSize() { return m_cbBuffer; }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (m_dwFlags & Sample_StopValid) {
        *pTimeStart = m_Start;
        *pTimeEnd = m_End;
        return S_OK;
    }
    if (!(m_dwFlags & Sample_TimeValid)) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_Start;
    *pTimeEnd = m_Start + 1;
    return VFW_S_NO_STOP_TIME;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart) {
        m_dwFlags &= ~(Sample_TimeValid | Sample_StopValid);
        return S_OK;
    }
    m_Start = *pTimeStart;
    m_dwFlags |= Sample_TimeValid;
    if (!pTimeEnd) {
        m_dwFlags &= ~Sample_StopValid;
        return S_OK;
    }
    m_End = *pTimeEnd;
    m_dwFlags |= Sample_StopValid;
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() { return (m_dwFlags & Sample_SyncPoint) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
    SetFlag(Sample_SyncPoint, bIsSyncPoint);
    return S_OK;
}

HRESULT CMediaSample::IsPreroll() { return (m_dwFlags & Sample_Preroll) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetPreroll(BOOL bIsPreroll) {
    SetFlag(Sample_Preroll, bIsPreroll);
    return S_OK;
}

LONG CMediaSample::GetActualDataLength() { return m_lActual; }

HRESULT CMediaSample::SetActualDataLength(LONG lLen) {
    if (lLen < 0 || lLen > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
    m_lActual = lLen;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (!ppMediaType) return E_POINTER;
    *ppMediaType = nullptr;
    if (!(m_dwFlags & Sample_TypeChanged)) return S_FALSE;
    *ppMediaType = CreateMediaType(m_pMediaType);
    return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    // Copied before the old copy goes: the caller may hand back the sample's own type, as
    // GetProperties gives it out.
    AM_MEDIA_TYPE* pCopy = pMediaType ? CreateMediaType(pMediaType) : nullptr;
    DeleteMediaType(m_pMediaType);
    m_pMediaType = pCopy;
    if (!pCopy) {
        m_dwFlags &= ~Sample_TypeChanged;
        return pMediaType ? E_OUTOFMEMORY : S_OK;
    }
    m_dwFlags |= Sample_TypeChanged;
    return S_OK;
}

HRESULT CMediaSample::IsDiscontinuity() { return (m_dwFlags & Sample_Discontinuity) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
    SetFlag(Sample_Discontinuity, bDiscontinuity);
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!(m_dwFlags & Sample_MediaTimeValid)) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_MediaStart;
    *pTimeEnd = m_MediaStart + m_MediaEnd;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart) {
        m_dwFlags &= ~Sample_MediaTimeValid;
        return S_OK;
    }
    if (!pTimeEnd) return E_POINTER;
    m_MediaStart = *pTimeStart;
    // Kept as a 32-bit difference: longer media spans do not survive.
    m_MediaEnd = static_cast<LONG>(static_cast<uint64_t>(*pTimeEnd - *pTimeStart));
    m_dwFlags |= Sample_MediaTimeValid;
    return S_OK;
}

namespace {

constexpr DWORD kPropsSize = sizeof(AM_SAMPLE2_PROPERTIES);

// Whether a record cut to cb bytes holds the whole of the field that ends at 'end'.
constexpr bool Holds(DWORD cb, size_t end) { return cb >= end; }
#define FIELD_END(f) (offsetof(AM_SAMPLE2_PROPERTIES, f) + sizeof(AM_SAMPLE2_PROPERTIES::f))

} // namespace

HRESULT CMediaSample::GetProperties(DWORD cbProperties, BYTE* pbProperties) {
    if (cbProperties == 0) return S_OK;
    if (!pbProperties) return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0, sizeof(props));
    DWORD cb = cbProperties < kPropsSize ? cbProperties : kPropsSize;
    props.cbData = cb;
    props.dwTypeSpecificFlags = m_dwTypeSpecificFlags;
    props.dwSampleFlags = m_dwFlags & ~Sample_MediaTimeValid;
    props.lActual = m_lActual;
    props.tStart = m_Start;
    props.tStop = m_End;
    props.dwStreamId = m_dwStreamId;
    props.pMediaType = (m_dwFlags & Sample_TypeChanged) ? m_pMediaType : nullptr;
    props.pbBuffer = m_pBuffer;
    props.cbBuffer = m_cbBuffer;
    std::memcpy(pbProperties, &props, cb);
    return S_OK;
}

HRESULT CMediaSample::SetProperties(DWORD cbProperties, const BYTE* pbProperties) {
    if (cbProperties < sizeof(DWORD)) return S_OK;
    if (!pbProperties) return E_POINTER;
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0, sizeof(props));
    std::memcpy(&props.cbData, pbProperties, sizeof(DWORD));
    if (cbProperties > kPropsSize || props.cbData > kPropsSize) return E_INVALIDARG;
    const DWORD cb = props.cbData < cbProperties ? props.cbData : cbProperties;
    std::memcpy(&props, pbProperties, cb);

    // Check everything before anything is stored, so a refused record changes nothing.
    const bool bFlags = Holds(cb, FIELD_END(dwSampleFlags));
    if (bFlags) {
        if (props.dwSampleFlags & ~static_cast<DWORD>(Sample_ValidFlags)) return E_INVALIDARG;
        if ((props.dwSampleFlags & Sample_TimeValid) && !(m_dwFlags & Sample_TimeValid) &&
            !Holds(cb, FIELD_END(tStop))) {
            return E_INVALIDARG;
        }
    }
    if (Holds(cb, FIELD_END(pbBuffer)) && props.pbBuffer && props.pbBuffer != m_pBuffer) return E_INVALIDARG;
    if (Holds(cb, FIELD_END(cbBuffer)) && props.cbBuffer != 0 && props.cbBuffer != m_cbBuffer) return E_INVALIDARG;
    // Checked whether or not the buffer size came along: a length past the buffer would let
    // a reader run off its end.
    if (Holds(cb, FIELD_END(lActual)) && (props.lActual < 0 || props.lActual > m_cbBuffer)) return E_INVALIDARG;
    const bool bNewType = bFlags && (props.dwSampleFlags & Sample_TypeChanged);
    const AM_MEDIA_TYPE* pNewType = Holds(cb, FIELD_END(pMediaType)) ? props.pMediaType : nullptr;
    if (bNewType && !pNewType) return E_POINTER;

    if (Holds(cb, FIELD_END(dwStreamId))) m_dwStreamId = props.dwStreamId;
    if (Holds(cb, FIELD_END(dwTypeSpecificFlags))) m_dwTypeSpecificFlags = props.dwTypeSpecificFlags;
    if (bFlags) m_dwFlags = props.dwSampleFlags | (m_dwFlags & Sample_MediaTimeValid);
    if (Holds(cb, FIELD_END(lActual))) m_lActual = props.lActual;
    if (Holds(cb, FIELD_END(tStop))) m_End = props.tStop;
    if (Holds(cb, FIELD_END(tStart))) m_Start = props.tStart;
    // The record may hand back the sample's own type, as GetProperties gives it out.
    if (bNewType && pNewType != m_pMediaType) {
        DeleteMediaType(m_pMediaType);
        m_pMediaType = CreateMediaType(pNewType);
        if (!m_pMediaType) {
            m_dwFlags &= ~Sample_TypeChanged;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}
