// A media sample: one buffer of an allocator's block, with its times, flags and type.
#pragma once

#include "framework/combase.h"

class CMemAllocator;

// Bits of CMediaSample::m_dwFlags. The properties record carries the same values.
enum : DWORD {
    Sample_SyncPoint = 0x01,
    Sample_Preroll = 0x02,
    Sample_Discontinuity = 0x04,
    Sample_TypeChanged = 0x08,
    Sample_TimeValid = 0x10,
    Sample_MediaTimeValid = 0x20,
    Sample_TimeDiscontinuity = 0x40,
    Sample_StopValid = 0x100,
    Sample_ValidFlags = 0x1DF,
};

class CMediaSample : public IMediaSample2 {
    friend class CMemAllocator;

public:
    // The buffer is fixed for the sample's life; a negative length is stored as 0 and
    // reported through phr as VFW_E_BUFFER_OVERFLOW.
    CMediaSample(LPCWSTR pName, CMemAllocator* pAllocator, HRESULT* phr, LPBYTE pBuffer = nullptr, LONG length = 0);
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;
    virtual ~CMediaSample();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetPointer(BYTE** ppBuffer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL bIsSyncPoint) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(BOOL bIsPreroll) override;
    LONG GetActualDataLength() override;
    HRESULT SetActualDataLength(LONG lLen) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(BOOL bDiscontinuity) override;
    HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    HRESULT GetProperties(DWORD cbProperties, BYTE* pbProperties) override;
    HRESULT SetProperties(DWORD cbProperties, const BYTE* pbProperties) override;

protected:
    void SetFlag(DWORD dwFlag, BOOL bSet) { m_dwFlags = bSet ? (m_dwFlags | dwFlag) : (m_dwFlags & ~dwFlag); }

    DWORD m_dwFlags = 0;
    DWORD m_dwTypeSpecificFlags = 0;
    LPBYTE m_pBuffer;
    LONG m_lActual = 0;
    LONG m_cbBuffer;
    CMemAllocator* m_pAllocator;
    CMediaSample* m_pNext = nullptr;
    REFERENCE_TIME m_Start = 0;
    REFERENCE_TIME m_End = 0;
    LONGLONG m_MediaStart = 0;
    LONG m_MediaEnd = 0; // difference from m_MediaStart
    AM_MEDIA_TYPE* m_pMediaType = nullptr;
    DWORD m_dwStreamId = 0;
    volatile LONG m_cRef = 0;
};
