#include "framework/memalloc.h"

#include "plat/com.h"
#include "plat/kernel.h"

#include <new>

CMemAllocator::CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr, BOOL bEnableReleaseCallback)
    : CUnknown(pName, pUnk, phr), m_fEnableReleaseCallback(bEnableReleaseCallback) {}

CMemAllocator::~CMemAllocator() {
    Decommit();
    CAutoLock lock(&m_cs);
    ReallyFree();
    SafeRelease(m_pNotify);
}

CUnknown* CMemAllocator::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    CUnknown* pUnkRet = new (std::nothrow) CMemAllocator(u"CMemAllocator", pUnk, phr);
    if (!pUnkRet && phr) *phr = E_OUTOFMEMORY;
    return pUnkRet;
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    if (riid == IID_IMemAllocatorCallbackTemp && m_fEnableReleaseCallback) {
        return GetInterface(static_cast<IMemAllocatorCallbackTemp*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

namespace {

// Rounds n up to a multiple of align, in 64 bits so that no request can overflow.
int64_t RoundUp(int64_t n, int64_t align) { return ((n + align - 1) / align) * align; }

} // namespace

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    if (!pRequest || !pActual) return E_POINTER;
    CAutoLock lock(&m_cs);
    std::memset(pActual, 0, sizeof(*pActual));
    if (pRequest->cbAlign == 0 || ((static_cast<DWORD>(pRequest->cbAlign) - 1) & kAllocationGranularity) != 0) {
        return VFW_E_BADALIGN;
    }
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_lFreeCount < m_lAllocated) return VFW_E_BUFFERS_OUTSTANDING;

    // A negative prefix would put the first buffer in front of the block.
    if (pRequest->cbPrefix < 0) return E_INVALIDARG;
    // The buffer grows so that prefix and buffer together fill whole alignment units.
    const int64_t size =
        RoundUp(int64_t(pRequest->cbBuffer) + pRequest->cbPrefix, pRequest->cbAlign) - pRequest->cbPrefix;
    if (size > 0x7FFFFFFF) return E_INVALIDARG;

    m_lSize = static_cast<LONG>(size);
    m_lCount = pRequest->cBuffers;
    m_lAlignment = pRequest->cbAlign;
    m_lPrefix = pRequest->cbPrefix;
    m_bChanged = TRUE;
    pActual->cBuffers = m_lCount;
    pActual->cbBuffer = m_lSize;
    pActual->cbAlign = m_lAlignment;
    pActual->cbPrefix = m_lPrefix;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (!pProps) return E_POINTER;
    CAutoLock lock(&m_cs);
    pProps->cBuffers = m_lCount;
    pProps->cbBuffer = m_lSize;
    pProps->cbAlign = m_lAlignment;
    pProps->cbPrefix = m_lPrefix;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    CAutoLock lock(&m_cs);
    if (m_bCommitted) return S_OK;
    m_bCommitted = TRUE;
    if (m_bDecommitInProgress) {
        // The samples still out come back to a committed allocator; nothing to make.
        m_bDecommitInProgress = FALSE;
        return S_OK;
    }
    HRESULT hr = Alloc();
    if (FAILED(hr)) {
        m_bCommitted = FALSE;
        return hr;
    }
    // Held while committed, so that samples out never outlive their allocator.
    AddRef();
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    BOOL bRelease = FALSE;
    {
        CAutoLock lock(&m_cs);
        if (m_bCommitted || m_bDecommitInProgress) {
            m_bCommitted = FALSE;
            if (m_lFreeCount == m_lAllocated) {
                Free();
                m_bDecommitInProgress = FALSE;
                bRelease = TRUE;
            } else {
                m_bDecommitInProgress = TRUE;
            }
        }
        NotifySample();
    }
    if (bRelease) Release();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME*, REFERENCE_TIME*, DWORD dwFlags) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    for (;;) {
        CMediaSample* pSample = nullptr;
        {
            CAutoLock lock(&m_cs);
            if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
            pSample = m_pFreeList;
            if (pSample) {
                m_pFreeList = pSample->m_pNext;
                pSample->m_pNext = nullptr;
                --m_lFreeCount;
            } else if (dwFlags & AM_GBF_NOWAIT) {
                // A caller that will not wait is not counted as waiting: it would leave a
                // wake-up behind for nobody.
                return VFW_E_TIMEOUT;
            } else {
                ++m_lWaiting;
            }
        }
        if (pSample) {
            __atomic_store_n(&pSample->m_cRef, 1, __ATOMIC_RELEASE);
            *ppBuffer = pSample;
            return S_OK;
        }
        m_hSem.Wait(INFINITE);
    }
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (!pBuffer) return E_POINTER;
    auto* pSample = static_cast<CMediaSample*>(pBuffer);
    IMemAllocatorNotifyCallbackTemp* pNotify = nullptr;
    BOOL bRelease = FALSE;
    {
        CAutoLock lock(&m_cs);
        pSample->m_pNext = m_pFreeList;
        m_pFreeList = pSample;
        ++m_lFreeCount;
        NotifySample();
        if (m_bDecommitInProgress && m_lFreeCount == m_lAllocated) {
            Free();
            m_bDecommitInProgress = FALSE;
            bRelease = TRUE;
        }
        pNotify = m_pNotify;
        if (pNotify) pNotify->AddRef();
    }
    if (pNotify) {
        pNotify->NotifyRelease();
        pNotify->Release();
    }
    if (bRelease) Release();
    return S_OK;
}

HRESULT CMemAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp* pNotify) {
    IMemAllocatorNotifyCallbackTemp* pOld = nullptr;
    {
        CAutoLock lock(&m_cs);
        if (pNotify) pNotify->AddRef();
        pOld = m_pNotify;
        m_pNotify = pNotify;
    }
    if (pOld) pOld->Release();
    return S_OK;
}

HRESULT CMemAllocator::GetFreeCount(LONG* plBuffersFree) {
    if (!plBuffersFree) return E_POINTER;
    CAutoLock lock(&m_cs);
    *plBuffersFree = m_lFreeCount;
    return S_OK;
}

void CMemAllocator::NotifySample() {
    if (m_lWaiting == 0) return;
    m_hSem.Release(m_lWaiting);
    m_lWaiting = 0;
}

HRESULT CMemAllocator::Alloc() {
    CAutoLock lock(&m_cs);
    if (m_lCount <= 0 || m_lSize <= 0 || m_lAlignment <= 0) return VFW_E_SIZENOTSET;
    if (!m_bChanged) return S_OK;
    ReallyFree();

    int64_t slot = int64_t(m_lSize) + m_lPrefix;
    if (m_lAlignment > 1) slot = RoundUp(slot, m_lAlignment);
    if (slot <= 0 || slot > 0x7FFFFFFF) return E_OUTOFMEMORY;
    const int64_t total = slot * m_lCount;
    if (total > 0x7FFFFFFF) return E_OUTOFMEMORY;

    // The block starts on the allocation granularity, which every accepted power-of-two
    // alignment divides; any other alignment gets room to move the first buffer onto it.
    const int64_t lead = (kAllocationGranularity % m_lAlignment == 0) ? 0 : m_lAlignment - 1;
    m_pBlock =
        VirtualAlloc(nullptr, static_cast<SIZE_T>(total + lead), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!m_pBlock) return E_OUTOFMEMORY;
    const auto uBlock = reinterpret_cast<uintptr_t>(m_pBlock);
    const auto uAlign = static_cast<uintptr_t>(m_lAlignment);
    m_pBuffer = static_cast<LPBYTE>(m_pBlock) + (uAlign - uBlock % uAlign) % uAlign;

    for (LONG i = 0; i < m_lCount; ++i) {
        HRESULT hr = S_OK;
        LPBYTE pData = m_pBuffer + int64_t(i) * slot + m_lPrefix;
        auto* pSample = new (std::nothrow) CMediaSample(u"Default memory media sample", this, &hr, pData, m_lSize);
        if (!pSample) return E_OUTOFMEMORY;
        pSample->m_pNext = m_pFreeList;
        m_pFreeList = pSample;
        ++m_lFreeCount;
        ++m_lAllocated;
    }
    m_bChanged = FALSE;
    return S_OK;
}

void CMemAllocator::Free() {}

void CMemAllocator::ReallyFree() {
    while (m_pFreeList) {
        CMediaSample* pSample = m_pFreeList;
        m_pFreeList = pSample->m_pNext;
        delete pSample;
    }
    m_lFreeCount = 0;
    m_lAllocated = 0;
    if (m_pBlock) {
        VirtualFree(m_pBlock, 0, MEM_RELEASE);
        m_pBlock = nullptr;
        m_pBuffer = nullptr;
    }
}

HRESULT CreateMemoryAllocator(IMemAllocator** ppAllocator) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(ppAllocator));
}
