// The faulty graph's forwarding object.
#include "faulty_graph.h"

#include <atomic>

namespace {

FaultyGraphClass* g_class = nullptr;
host::CreateBuiltinFn g_realGraph = nullptr;
std::atomic<int> g_alive{0};

class FaultyGraph final : public IGraphBuilder, public IMediaControl {
public:
    explicit FaultyGraph(IGraphBuilder* real) : m_real(real) {
        m_real->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control));
        ++g_alive;
    }
    ~FaultyGraph() {
        SafeRelease(m_control);
        SafeRelease(m_real);
        --g_alive;
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder) {
            *ppv = static_cast<IGraphBuilder*>(this);
        } else if (riid == IID_IMediaControl) {
            if (g_class && FAILED(g_class->controlQueryResult)) {
                *ppv = nullptr;
                return g_class->controlQueryResult;
            }
            if (g_class && g_class->claimNoControl) {
                *ppv = nullptr;
                return S_OK;
            }
            *ppv = static_cast<IMediaControl*>(this);
        } else {
            return m_real->QueryInterface(riid, ppv);
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

    // IFilterGraph / IGraphBuilder
    HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override {
        if (pName && g_class && g_class->failAddFilterName == pName) return g_class->addFilterResult;
        return m_real->AddFilter(pFilter, pName);
    }
    HRESULT RemoveFilter(IBaseFilter* pFilter) override { return m_real->RemoveFilter(pFilter); }
    HRESULT EnumFilters(IEnumFilters** ppEnum) override { return m_real->EnumFilters(ppEnum); }
    HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override {
        return m_real->FindFilterByName(pName, ppFilter);
    }
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* pmt) override {
        return m_real->ConnectDirect(out, in, pmt);
    }
    HRESULT Reconnect(IPin* ppin) override { return m_real->Reconnect(ppin); }
    HRESULT Disconnect(IPin* ppin) override { return m_real->Disconnect(ppin); }
    HRESULT SetDefaultSyncSource() override { return m_real->SetDefaultSyncSource(); }
    HRESULT Connect(IPin* out, IPin* in) override { return m_real->Connect(out, in); }
    HRESULT Render(IPin* out) override { return m_real->Render(out); }
    HRESULT RenderFile(LPCWSTR file, LPCWSTR list) override { return m_real->RenderFile(file, list); }
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** ppFilter) override {
        return m_real->AddSourceFilter(file, name, ppFilter);
    }
    HRESULT SetLogFile(DWORD_PTR hFile) override { return m_real->SetLogFile(hFile); }
    HRESULT Abort() override { return m_real->Abort(); }
    HRESULT ShouldOperationContinue() override { return m_real->ShouldOperationContinue(); }

    // IDispatch / IMediaControl
    HRESULT GetTypeInfoCount(UINT* p) override { return m_control->GetTypeInfoCount(p); }
    HRESULT GetTypeInfo(UINT i, LCID l, ITypeInfo** pp) override { return m_control->GetTypeInfo(i, l, pp); }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID l, DISPID* ids) override {
        return m_control->GetIDsOfNames(riid, names, n, l, ids);
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID l, WORD f, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                   UINT* a) override {
        return m_control->Invoke(id, riid, l, f, p, r, e, a);
    }
    HRESULT Run() override {
        if (g_class && FAILED(g_class->runResult)) return g_class->runResult;
        return m_control->Run();
    }
    HRESULT Pause() override { return m_control->Pause(); }
    HRESULT Stop() override { return m_control->Stop(); }
    HRESULT GetState(LONG ms, OAFilterState* pfs) override { return m_control->GetState(ms, pfs); }
    HRESULT RenderFile(BSTR file) override { return m_control->RenderFile(file); }
    HRESULT AddSourceFilter(BSTR file, IDispatch** pp) override { return m_control->AddSourceFilter(file, pp); }
    HRESULT get_FilterCollection(IDispatch** pp) override { return m_control->get_FilterCollection(pp); }
    HRESULT get_RegFilterCollection(IDispatch** pp) override { return m_control->get_RegFilterCollection(pp); }
    HRESULT StopWhenReady() override { return m_control->StopWhenReady(); }

private:
    IGraphBuilder* m_real;
    IMediaControl* m_control = nullptr;
    std::atomic<ULONG> m_refs{0};
};

} // namespace

FaultyGraphClass::FaultyGraphClass() : m_override(CLSID_FilterGraph, &FaultyGraphClass::Create) {
    g_realGraph = m_override.Original();
    g_class = this;
}

FaultyGraphClass::~FaultyGraphClass() {
    g_class = nullptr;
}

int FaultyGraphClass::Alive() const {
    return g_alive;
}

HRESULT FaultyGraphClass::Create(IUnknown* outer, REFIID riid, void** ppv) {
    *ppv = nullptr;
    IGraphBuilder* real = nullptr;
    HRESULT hr = g_realGraph(outer, IID_IGraphBuilder, reinterpret_cast<void**>(&real));
    if (FAILED(hr)) return hr;
    if (g_class) ++g_class->created;
    auto* graph = new FaultyGraph(real);
    graph->AddRef();
    hr = graph->QueryInterface(riid, ppv);
    graph->Release();
    return hr;
}
