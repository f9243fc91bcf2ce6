// The filter graph manager: holds filters, connects their pins directly, moves them
// between stopped, paused and running, and collects their events.
#pragma once

#include "com_ptr.h"
#include "graph_events.h"
#include "plat/media.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace host {

// Makes a filter graph object, as CLSID_FilterGraph does.
HRESULT CreateFilterGraph(IUnknown* pUnkOuter, REFIID riid, void** ppv);

class FilterGraph final : public IFilterGraph2,
                          public IMediaControl,
                          public IMediaFilter,
                          public IMediaEventSink,
                          public IMediaEventEx {
public:
    FilterGraph() = default;
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    HRESULT RemoveFilter(IBaseFilter* pFilter) override;
    HRESULT EnumFilters(IEnumFilters** ppEnum) override;
    HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
    HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
    HRESULT Reconnect(IPin* ppin) override;
    HRESULT Disconnect(IPin* ppin) override;
    HRESULT SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT Connect(IPin* ppinOut, IPin* ppinIn) override;
    HRESULT Render(IPin* ppinOut) override;
    HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) override;
    HRESULT SetLogFile(DWORD_PTR hFile) override;
    HRESULT Abort() override;
    HRESULT ShouldOperationContinue() override;
    // IFilterGraph2
    HRESULT AddSourceFilterForMoniker(IMoniker* pMoniker, IBindCtx* pCtx, LPCWSTR lpcwstrFilterName,
                                      IBaseFilter** ppFilter) override;
    HRESULT ReconnectEx(IPin* ppin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT RenderEx(IPin* pPinOut, DWORD dwFlags, DWORD* pvContext) override;

    // IDispatch (of IMediaControl and IMediaEventEx)
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IMediaControl (Pause and Stop are shared with IMediaFilter)
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override;
    HRESULT RenderFile(BSTR strFilename) override;
    HRESULT AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) override;
    HRESULT get_FilterCollection(IDispatch** ppUnk) override;
    HRESULT get_RegFilterCollection(IDispatch** ppUnk) override;
    HRESULT StopWhenReady() override;

    // IPersist and IMediaFilter
    HRESULT GetClassID(CLSID* pClassID) override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    HRESULT SetSyncSource(IReferenceClock* pClock) override;
    HRESULT GetSyncSource(IReferenceClock** pClock) override;

    // IMediaEventSink
    HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

    // IMediaEvent and IMediaEventEx
    HRESULT GetEventHandle(OAEVENT* hEvent) override;
    HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) override;
    HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) override;
    HRESULT CancelDefaultHandling(LONG lEvCode) override;
    HRESULT RestoreDefaultHandling(LONG lEvCode) override;
    HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) override;
    HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) override;
    HRESULT SetNotifyFlags(LONG lNoNotifyFlags) override;
    HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) override;

private:
    struct Member {
        IBaseFilter* filter; // one reference
        IUnknown* identity;  // compared only
        std::u16string name;
    };

    ~FilterGraph();

    // All of these run under m_lock.
    Member* Find(IUnknown* pObject);
    bool NameTaken(const std::u16string& name) const;
    std::u16string UniqueName(LPCWSTR pName, HRESULT* phr) const;
    void Detach(Member& member);
    std::vector<IBaseFilter*> DownstreamFirstFilters() const;
    bool PinInGraph(IPin* pPin);
    HRESULT PauseLocked();
    HRESULT RunLocked(std::optional<REFERENCE_TIME> tStart);
    HRESULT StopLocked();
    HRESULT EnsureClock();
    HRESULT Distribute(IReferenceClock* pClock);
    REFERENCE_TIME ClockTime() const;
    void SetStateLocked(FILTER_STATE state);

    std::atomic<ULONG> m_refs{0};
    mutable std::recursive_mutex m_lock;
    std::vector<Member> m_members;
    FILTER_STATE m_state = State_Stopped;
    ComPtr<IReferenceClock> m_clock;
    bool m_bClockChosen = false;   // SetSyncSource was called, even with no clock
    bool m_bHasRun = false;        // since the last stop
    REFERENCE_TIME m_tStart = 0;   // stream-time origin of the current run
    REFERENCE_TIME m_tPaused = 0;  // clock time when a run was paused
    GraphEvents m_events;
};

} // namespace host
