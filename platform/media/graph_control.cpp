// State changes and the reference clock of the graph. Every state change reaches the
// filters downstream first, so that no filter delivers to one that is not ready.
#include "filter_graph.h"
#include "graph_topology.h"
#include "system_clock.h"

namespace host {
namespace {

// Between the clock reading and the start of the stream: time for the Run calls themselves.
constexpr REFERENCE_TIME kStartDelay = 10 * 10'000; // 10 ms

} // namespace

std::vector<IBaseFilter*> FilterGraph::DownstreamFirstFilters() const {
    std::vector<IBaseFilter*> filters;
    std::vector<IUnknown*> identities;
    for (const Member& m : m_members) {
        filters.push_back(m.filter);
        identities.push_back(m.identity);
    }
    std::vector<IBaseFilter*> ordered;
    for (size_t i : DownstreamFirst(filters, identities)) ordered.push_back(filters[i]);
    return ordered;
}

void FilterGraph::SetStateLocked(FILTER_STATE state) {
    m_state = state;
    m_events.SetRunning(state == State_Running);
}

REFERENCE_TIME FilterGraph::ClockTime() const {
    REFERENCE_TIME t = 0;
    if (m_clock) m_clock->GetTime(&t);
    return t;
}

HRESULT FilterGraph::Distribute(IReferenceClock* pClock) {
    HRESULT hr = S_OK;
    for (const Member& m : m_members) {
        HRESULT hrFilter = m.filter->SetSyncSource(pClock);
        if (FAILED(hrFilter) && SUCCEEDED(hr)) hr = hrFilter;
    }
    return hr;
}

HRESULT FilterGraph::EnsureClock() {
    if (m_clock || m_bClockChosen) return S_OK;
    HRESULT hr = CreateSystemClock(nullptr, IID_IReferenceClock, m_clock.ReceiveVoid());
    if (FAILED(hr)) return hr;
    return Distribute(m_clock.Get());
}

HRESULT FilterGraph::PauseLocked() {
    if (m_state == State_Paused) return S_OK;
    const FILTER_STATE previous = m_state;
    if (previous == State_Stopped) {
        HRESULT hr = EnsureClock();
        if (FAILED(hr)) return hr;
        std::vector<IUnknown*> renderers;
        for (const Member& m : m_members) {
            if (IsRenderer(m.filter)) renderers.push_back(m.identity);
        }
        m_events.Arm(std::move(renderers));
        m_bHasRun = false;
    } else {
        m_tPaused = ClockTime();
    }
    for (IBaseFilter* pFilter : DownstreamFirstFilters()) {
        HRESULT hr = pFilter->Pause();
        if (FAILED(hr)) {
            // Back to where the graph was, so no filter is left streaming on its own.
            if (previous == State_Stopped) {
                StopLocked();
            } else {
                for (IBaseFilter* pOther : DownstreamFirstFilters()) pOther->Run(m_tStart);
            }
            return hr;
        }
    }
    SetStateLocked(State_Paused);
    return S_OK;
}

HRESULT FilterGraph::RunLocked(std::optional<REFERENCE_TIME> tStart) {
    if (m_state == State_Running) return S_OK;
    const FILTER_STATE previous = m_state;
    if (previous == State_Stopped) {
        HRESULT hr = PauseLocked();
        if (FAILED(hr)) return hr;
    }
    if (tStart) {
        m_tStart = *tStart;
    } else if (!m_clock) {
        m_tStart = 0;
    } else if (!m_bHasRun) {
        m_tStart = ClockTime() + kStartDelay;
    } else {
        // Resuming: stream time carries on from where the pause held it.
        m_tStart += ClockTime() - m_tPaused;
    }
    m_bHasRun = true;
    for (IBaseFilter* pFilter : DownstreamFirstFilters()) {
        HRESULT hr = pFilter->Run(m_tStart);
        if (FAILED(hr)) {
            if (previous == State_Stopped) {
                StopLocked();
            } else {
                for (IBaseFilter* pOther : DownstreamFirstFilters()) pOther->Pause();
                SetStateLocked(State_Paused);
            }
            return hr;
        }
    }
    SetStateLocked(State_Running);
    return S_OK;
}

HRESULT FilterGraph::StopLocked() {
    // An end of stream that races with the stop is no completion of this run.
    m_events.Disarm();
    HRESULT hr = S_OK;
    for (IBaseFilter* pFilter : DownstreamFirstFilters()) {
        HRESULT hrFilter = pFilter->Stop();
        if (FAILED(hrFilter) && SUCCEEDED(hr)) hr = hrFilter;
    }
    SetStateLocked(State_Stopped);
    m_bHasRun = false;
    return hr;
}

HRESULT FilterGraph::Run() {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return RunLocked(std::nullopt);
}

HRESULT FilterGraph::Run(REFERENCE_TIME tStart) {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return RunLocked(tStart);
}

HRESULT FilterGraph::Pause() {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return PauseLocked();
}

HRESULT FilterGraph::Stop() {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return StopLocked();
}

HRESULT FilterGraph::StopWhenReady() { return Stop(); }

HRESULT FilterGraph::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    *State = m_state;
    // A filter still on its way to the graph's state makes the answer intermediate.
    HRESULT hr = S_OK;
    for (const Member& m : m_members) {
        FILTER_STATE fs;
        HRESULT hrFilter = m.filter->GetState(dwMilliSecsTimeout, &fs);
        if (FAILED(hrFilter)) return hrFilter;
        if (hrFilter != S_OK && hr == S_OK) hr = hrFilter;
    }
    return hr;
}

HRESULT FilterGraph::GetState(LONG msTimeout, OAFilterState* pfs) {
    if (!pfs) return E_POINTER;
    FILTER_STATE fs = State_Stopped;
    HRESULT hr = GetState(static_cast<DWORD>(msTimeout), &fs);
    *pfs = fs;
    return hr;
}

HRESULT FilterGraph::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* pClock) {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    m_clock = ComPtr<IReferenceClock>(pClock);
    m_bClockChosen = true;
    return Distribute(pClock);
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    *pClock = ComPtr<IReferenceClock>(m_clock).Detach();
    return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    ComPtr<IReferenceClock> clock;
    HRESULT hr = CreateSystemClock(nullptr, IID_IReferenceClock, clock.ReceiveVoid());
    if (FAILED(hr)) return hr;
    return SetSyncSource(clock.Get());
}

} // namespace host
