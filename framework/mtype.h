// Media type records: CMediaType owns its format block, and free functions work on the
// platform's AM_MEDIA_TYPE record (format blocks live in task-allocator memory).
#pragma once

#include "plat/media.h"

// Zeroes the record, then marks it fixed-size with a sample size of 1.
void InitMediaType(AM_MEDIA_TYPE* pmt);
// Releases the format block (when its size is not 0) and the format object.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a record made by CreateMediaType or handed out by an enumerator, with its format.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);
// A new record in task-allocator memory holding a copy of pSrc; null when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pSrc);
// Copies pmtSource into pmtTarget, format block included. On E_OUTOFMEMORY the target has
// no format block.
HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majortype);
    CMediaType(const AM_MEDIA_TYPE& rt, HRESULT* phr = nullptr);
    CMediaType(const CMediaType& rt, HRESULT* phr = nullptr);
    ~CMediaType();

    CMediaType& operator=(const CMediaType& rt);
    CMediaType& operator=(const AM_MEDIA_TYPE& rt);
    // Equal types: same major type, subtype and format type, and identical format blocks.
    BOOL operator==(const CMediaType& rt) const;
    BOOL operator!=(const CMediaType& rt) const { return !(*this == rt); }

    HRESULT Set(const CMediaType& rt);
    HRESULT Set(const AM_MEDIA_TYPE& rt);
    BOOL IsValid() const { return majortype != GUID_NULL; }

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* ptype) { majortype = *ptype; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* ptype) { subtype = *ptype; }
    BOOL IsFixedSize() const { return bFixedSizeSamples; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
    void SetSampleSize(ULONG sz);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL bCompressed) { bTemporalCompression = bCompressed; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* pformattype) { formattype = *pformattype; }
    // Replaces the format block by a copy of pFormat; false when out of memory.
    BOOL SetFormat(const BYTE* pFormat, ULONG length);
    void ResetFormatBuffer();
    // An uninitialised format block of the given size, replacing the old
    // one; null when out of memory. An existing block of the same size is reused.
    BYTE* AllocFormatBuffer(ULONG length);
    // Resizes the format block keeping its contents; null when out of memory.
    BYTE* ReallocFormatBuffer(ULONG length);

    void InitMediaType();
    BOOL IsPartiallySpecified() const;
    BOOL MatchesPartial(const CMediaType* ppartial) const;
};
