// The filter base class: state, clock, graph membership and pin lookup. A derived filter
// supplies its pins (GetPinCount, GetPin) and owns and deletes them.
#pragma once

#include "framework/combase.h"
#include "framework/sync.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
    friend class CBasePin;

public:
    CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid);
    CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT* phr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Clock time minus the start time of the last run.
    virtual HRESULT StreamTime(REFERENCE_TIME& rtStream);
    virtual LONG GetPinVersion();
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;
    virtual const AMOVIESETUP_FILTER* GetSetupData();

    // IPersist
    HRESULT GetClassID(CLSID* pClsID) override;

    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    HRESULT GetState(DWORD dwMSecs, FILTER_STATE* State) override;
    HRESULT SetSyncSource(IReferenceClock* pClock) override;
    HRESULT GetSyncSource(IReferenceClock** pClock) override;

    // IBaseFilter
    HRESULT EnumPins(IEnumPins** ppEnum) override;
    HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // IAMovieSetup
    HRESULT Register() override;
    HRESULT Unregister() override;

    BOOL IsActive();
    BOOL IsStopped() const { return State() == State_Stopped; }
    // The state as any thread may read it without the filter lock.
    FILTER_STATE State() const;
    // Sends an event to the graph's event sink; EC_COMPLETE names this filter as its sender.
    HRESULT NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);
    IFilterGraph* GetFilterGraph() { return m_pGraph; }
    // Asks the graph to reconnect a pin, with a type when the graph can take one.
    HRESULT ReconnectPin(IPin* pPin, const AM_MEDIA_TYPE* pmt);
    // A derived filter that adds or removes pins calls this, so enumerators notice.
    void IncrementPinVersion();

protected:
    void SetState(FILTER_STATE state);

    FILTER_STATE m_State = State_Stopped;
    IReferenceClock* m_pClock = nullptr;
    REFERENCE_TIME m_tStart = 0;
    CLSID m_clsid;
    CCritSec* m_pLock;
    WCHAR* m_pName = nullptr;
    IFilterGraph* m_pGraph = nullptr;
    IMediaEventSink* m_pSink = nullptr;
    LONG m_PinVersion = 1;
};
