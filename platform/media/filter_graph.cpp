// The graph object: its interfaces, its members and their connections.
#include "filter_graph.h"

#include "enum_filters.h"
#include "graph_topology.h"
#include "host/builtin_classes.h"

#include <cstdio>
#include <new>

namespace host {

HRESULT CreateFilterGraph(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* graph = new (std::nothrow) FilterGraph;
    if (!graph) return E_OUTOFMEMORY;
    graph->AddRef();
    HRESULT hr = graph->QueryInterface(riid, ppv);
    graph->Release();
    return hr;
}

namespace {
BuiltinClassRegistrar g_filterGraph(CLSID_FilterGraph, CreateFilterGraph);
} // namespace

FilterGraph::~FilterGraph() {
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    StopLocked();
    // Connections hold references between filters; only taking them apart lets each go.
    while (!m_members.empty()) {
        Member member = m_members.back();
        m_members.pop_back();
        Detach(member);
    }
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder || riid == IID_IFilterGraph2) {
        *ppv = static_cast<IFilterGraph2*>(this);
    } else if (riid == IID_IMediaControl) {
        *ppv = static_cast<IMediaControl*>(this);
    } else if (riid == IID_IMediaFilter || riid == IID_IPersist) {
        *ppv = static_cast<IMediaFilter*>(this);
    } else if (riid == IID_IMediaEventSink) {
        *ppv = static_cast<IMediaEventSink*>(this);
    } else if (riid == IID_IMediaEvent || riid == IID_IMediaEventEx) {
        *ppv = static_cast<IMediaEventEx*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG FilterGraph::AddRef() { return ++m_refs; }

ULONG FilterGraph::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

FilterGraph::Member* FilterGraph::Find(IUnknown* pObject) {
    if (!pObject) return nullptr;
    for (Member& m : m_members) {
        if (static_cast<IUnknown*>(m.filter) == pObject) return &m;
    }
    IUnknown* identity = IdentityOf(pObject);
    for (Member& m : m_members) {
        if (m.identity == identity) return &m;
    }
    return nullptr;
}

bool FilterGraph::NameTaken(const std::u16string& name) const {
    for (const Member& m : m_members) {
        if (m.name == name) return true;
    }
    return false;
}

std::u16string FilterGraph::UniqueName(LPCWSTR pName, HRESULT* phr) const {
    *phr = S_OK;
    constexpr size_t kMaxChars = MAX_FILTER_NAME - 1;
    std::u16string base = pName ? std::u16string(pName) : std::u16string();
    if (base.size() > kMaxChars) base.resize(kMaxChars);
    if (!base.empty() && !NameTaken(base)) return base;
    if (!base.empty()) *phr = VFW_S_DUPLICATE_NAME;
    // A taken (or missing) name gets a number: "Name 0001", "Name 0002", ...
    for (unsigned n = 1; n <= 9999; ++n) {
        char digits[8];
        std::snprintf(digits, sizeof(digits), "%04u", n);
        std::u16string suffix = base.empty() ? u"" : u" ";
        for (const char* p = digits; *p; ++p) suffix.push_back(static_cast<char16_t>(*p));
        std::u16string candidate = base.substr(0, kMaxChars - suffix.size()) + suffix;
        if (!NameTaken(candidate)) return candidate;
    }
    *phr = VFW_E_DUPLICATE_NAME;
    return {};
}

HRESULT FilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
    if (!pFilter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (Find(pFilter)) return VFW_E_DUPLICATE_NAME;
    HRESULT hrName = S_OK;
    std::u16string name;
    try {
        name = UniqueName(pName, &hrName);
        if (FAILED(hrName)) return hrName;
        m_members.push_back({pFilter, IdentityOf(pFilter), name});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    pFilter->AddRef();
    HRESULT hr = pFilter->JoinFilterGraph(static_cast<IFilterGraph2*>(this), m_members.back().name.c_str());
    if (FAILED(hr)) {
        m_members.pop_back();
        pFilter->Release();
        return hr;
    }
    if (m_clock) pFilter->SetSyncSource(m_clock.Get());
    return hrName;
}

void FilterGraph::Detach(Member& member) {
    IBaseFilter* pFilter = member.filter;
    for (const ComPtr<IPin>& pin : PinsOf(pFilter)) {
        ComPtr<IPin> peer = PeerOf(pin.Get());
        if (!peer) continue;
        peer->Disconnect();
        pin->Disconnect();
    }
    m_events.Forget(member.identity);
    pFilter->SetSyncSource(nullptr);
    pFilter->JoinFilterGraph(nullptr, nullptr);
    pFilter->Release();
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* pFilter) {
    if (!pFilter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    Member* found = Find(pFilter);
    if (!found) return VFW_E_NOT_FOUND;
    // Pins only disconnect while stopped; a running neighbour would keep its end.
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    Member member = *found;
    m_members.erase(m_members.begin() + (found - m_members.data()));
    Detach(member);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    std::vector<IBaseFilter*> filters;
    try {
        for (const Member& m : m_members) filters.push_back(m.filter);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CreateFilterEnumerator(filters, ppEnum);
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
    if (!ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    if (!pName) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    for (const Member& m : m_members) {
        if (m.name == pName) {
            *ppFilter = m.filter;
            m.filter->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

bool FilterGraph::PinInGraph(IPin* pPin) {
    ComPtr<IBaseFilter> owner = OwnerOf(pPin);
    return owner && Find(owner.Get()) != nullptr;
}

HRESULT FilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) {
    if (!ppinOut || !ppinIn) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (!PinInGraph(ppinOut) || !PinInGraph(ppinIn)) return VFW_E_NOT_IN_GRAPH;
    if (!IsDirection(ppinOut, PINDIR_OUTPUT) || !IsDirection(ppinIn, PINDIR_INPUT)) return VFW_E_INVALID_DIRECTION;
    return ppinOut->Connect(ppinIn, pmt);
}

HRESULT FilterGraph::Connect(IPin* ppinOut, IPin* ppinIn) { return ConnectDirect(ppinOut, ppinIn, nullptr); }

HRESULT FilterGraph::Reconnect(IPin* ppin) { return ReconnectEx(ppin, nullptr); }

HRESULT FilterGraph::ReconnectEx(IPin* ppin, const AM_MEDIA_TYPE* pmt) {
    if (!ppin) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer = PeerOf(ppin);
    if (!peer) return VFW_E_NOT_CONNECTED;
    const bool bOutput = IsDirection(ppin, PINDIR_OUTPUT);
    IPin* pOut = bOutput ? ppin : peer.Get();
    IPin* pIn = bOutput ? peer.Get() : ppin;
    HRESULT hr = pOut->Disconnect();
    if (FAILED(hr)) return hr;
    hr = pIn->Disconnect();
    if (FAILED(hr)) return hr;
    return ConnectDirect(pOut, pIn, pmt);
}

HRESULT FilterGraph::Disconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return ppin->Disconnect();
}

// Only direct connections: the host has no filter catalogue to build chains from.
HRESULT FilterGraph::Render(IPin*) { return E_NOTIMPL; }
HRESULT FilterGraph::RenderFile(LPCWSTR, LPCWSTR) { return E_NOTIMPL; }
HRESULT FilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** ppFilter) {
    if (ppFilter) *ppFilter = nullptr;
    return E_NOTIMPL;
}
HRESULT FilterGraph::SetLogFile(DWORD_PTR) { return E_NOTIMPL; }
HRESULT FilterGraph::Abort() { return E_NOTIMPL; }
HRESULT FilterGraph::ShouldOperationContinue() { return S_OK; }
HRESULT FilterGraph::AddSourceFilterForMoniker(IMoniker*, IBindCtx*, LPCWSTR, IBaseFilter** ppFilter) {
    if (ppFilter) *ppFilter = nullptr;
    return E_NOTIMPL;
}
HRESULT FilterGraph::RenderEx(IPin*, DWORD, DWORD*) { return E_NOTIMPL; }

} // namespace host
