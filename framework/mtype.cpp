#include "framework/mtype.h"

#include "plat/com.h"

void InitMediaType(AM_MEDIA_TYPE* pmt) {
    std::memset(pmt, 0, sizeof(*pmt));
    pmt->lSampleSize = 1;
    pmt->bFixedSizeSamples = TRUE;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat != 0) {
        CoTaskMemFree(mt.pbFormat);
        mt.cbFormat = 0;
        mt.pbFormat = nullptr;
    }
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource) {
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat != 0) {
        pmtTarget->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(pmtSource->cbFormat));
        if (!pmtTarget->pbFormat) {
            pmtTarget->cbFormat = 0;
            pmtTarget->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
    }
    if (pmtTarget->pUnk) pmtTarget->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pSrc) {
    auto* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!pmt) return nullptr;
    if (FAILED(CopyMediaType(pmt, pSrc))) {
        CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

CMediaType::CMediaType() { InitMediaType(); }

CMediaType::CMediaType(const GUID* ptype) {
    InitMediaType();
    majortype = *ptype;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& rt, HRESULT* phr) {
    InitMediaType();
    HRESULT hr = CopyMediaType(this, &rt);
    if (FAILED(hr) && phr) *phr = hr;
}

CMediaType::CMediaType(const CMediaType& rt, HRESULT* phr) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(rt), phr) {}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const CMediaType& rt) {
    Set(rt);
    return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& rt) {
    Set(rt);
    return *this;
}

BOOL CMediaType::operator==(const CMediaType& rt) const {
    return majortype == rt.majortype && subtype == rt.subtype && formattype == rt.formattype &&
           cbFormat == rt.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, rt.pbFormat, cbFormat) == 0);
}

HRESULT CMediaType::Set(const CMediaType& rt) { return Set(static_cast<const AM_MEDIA_TYPE&>(rt)); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& rt) {
    if (&rt == this) return S_OK;
    FreeMediaType(*this);
    HRESULT hr = CopyMediaType(this, &rt);
    return FAILED(hr) ? E_OUTOFMEMORY : S_OK;
}

void CMediaType::SetSampleSize(ULONG sz) {
    if (sz == 0) {
        SetVariableSize();
        return;
    }
    bFixedSizeSamples = TRUE;
    lSampleSize = sz;
}

BOOL CMediaType::SetFormat(const BYTE* pFormat, ULONG length) {
    BYTE* p = AllocFormatBuffer(length);
    if (length != 0 && !p) return FALSE;
    if (length != 0) std::memcpy(p, pFormat, length);
    return TRUE;
}

void CMediaType::ResetFormatBuffer() {
    if (cbFormat != 0) CoTaskMemFree(pbFormat);
    cbFormat = 0;
    pbFormat = nullptr;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    if (cbFormat == length && length != 0) return pbFormat;
    ResetFormatBuffer();
    if (length == 0) return nullptr;
    auto* p = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!p) return nullptr;
    pbFormat = p;
    cbFormat = length;
    return p;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
    if (length == 0) {
        ResetFormatBuffer();
        return nullptr;
    }
    auto* p = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!p) return nullptr;
    if (cbFormat != 0) {
        std::memcpy(p, pbFormat, cbFormat < length ? cbFormat : length);
        CoTaskMemFree(pbFormat);
    }
    pbFormat = p;
    cbFormat = length;
    return p;
}

void CMediaType::InitMediaType() { ::InitMediaType(this); }

BOOL CMediaType::IsPartiallySpecified() const { return majortype == GUID_NULL || formattype == GUID_NULL; }

BOOL CMediaType::MatchesPartial(const CMediaType* ppartial) const {
    if (ppartial->majortype != GUID_NULL && majortype != ppartial->majortype) return FALSE;
    if (ppartial->subtype != GUID_NULL && subtype != ppartial->subtype) return FALSE;
    if (ppartial->formattype != GUID_NULL) {
        if (formattype != ppartial->formattype) return FALSE;
        if (cbFormat != ppartial->cbFormat) return FALSE;
        if (cbFormat != 0 && std::memcmp(pbFormat, ppartial->pbFormat, cbFormat) != 0) return FALSE;
    }
    return TRUE;
}
