// The standard memory allocator: one block cut into equal buffers, a stack of free samples,
// and blocking hand-out.
#pragma once

#include "framework/mediasample.h"
#include "framework/sync.h"

// The system's allocation granularity, which an alignment may not reach past.
constexpr LONG kAllocationGranularity = 0x10000;

class CMemAllocator : public CUnknown, public IMemAllocatorCallbackTemp {
    friend class CMediaSample;

public:
    CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr, BOOL bEnableReleaseCallback = FALSE);
    ~CMemAllocator() override;

    // Creation hook for a factory template.
    static CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                      DWORD dwFlags) override;
    HRESULT ReleaseBuffer(IMediaSample* pBuffer) override;

    HRESULT SetNotify(IMemAllocatorNotifyCallbackTemp* pNotify) override;
    HRESULT GetFreeCount(LONG* plBuffersFree) override;

protected:
    // Makes the buffers for the current properties (under the lock).
    virtual HRESULT Alloc();
    // Called when a decommit completes; the memory is kept for the next commit.
    virtual void Free();

    // Wakes every thread waiting in GetBuffer (under the lock).
    void NotifySample();
    // Deletes every sample on the free stack and the memory block (under the lock).
    void ReallyFree();

    CCritSec m_cs;
    CMediaSample* m_pFreeList = nullptr;
    LONG m_lFreeCount = 0;
    CAMSemaphore m_hSem{0, 0x7FFFFFFF};
    LONG m_lWaiting = 0;
    LONG m_lCount = 0;
    LONG m_lSize = 0;
    LONG m_lAlignment = 0;
    LONG m_lPrefix = 0;
    BOOL m_bChanged = FALSE;
    BOOL m_bCommitted = FALSE;
    BOOL m_bDecommitInProgress = FALSE;
    IMemAllocatorNotifyCallbackTemp* m_pNotify = nullptr;
    BOOL m_fEnableReleaseCallback;
    LONG m_lAllocated = 0;
    LPVOID m_pBlock = nullptr;  // as reserved; released whole
    LPBYTE m_pBuffer = nullptr; // the block's first byte on the alignment
};

// The platform's standard memory allocator, made by class id.
HRESULT CreateMemoryAllocator(IMemAllocator** ppAllocator);
