// The input pin base class: takes samples through IMemInputPin and keeps the allocator the
// upstream pin chose.
#pragma once

#include "framework/basepin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // S_OK when a sample may be taken now; S_FALSE while flushing; a failure when stopped or
    // after a run-time error.
    virtual HRESULT CheckStreaming();

    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** ppAllocator) override;
    HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT Receive(IMediaSample* pSample) override;
    HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) override;
    HRESULT ReceiveCanBlock() override;

    // IPin
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // IQualityControl
    HRESULT Notify(IBaseFilter* pSender, Quality q) override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    BOOL IsReadOnly() const { return m_bReadOnly; }
    BOOL IsFlushing() const { return __atomic_load_n(&m_bFlushing, __ATOMIC_SEQ_CST); }
    // The properties of the sample Receive last took.
    const AM_SAMPLE2_PROPERTIES* SampleProps() const { return &m_SampleProps; }

protected:
    void SetFlushing(BOOL bFlushing) { __atomic_store_n(&m_bFlushing, bFlushing, __ATOMIC_SEQ_CST); }

    IMemAllocator* m_pAllocator = nullptr;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bFlushing = FALSE;
    AM_SAMPLE2_PROPERTIES m_SampleProps{};
};
