#include "host/unknown_impl.h"
#include "capture_graph_builder.h"

#include "com_ptr.h"
#include "filter_graph.h"
#include "graph_topology.h"
#include "host/builtin_classes.h"
#include "plat/com.h"
#include "plat/ks.h"

#include <atomic>
#include <mutex>
#include <new>

namespace host {
namespace {

bool HasCategory(IPin* pPin, const GUID& category) {
    ComPtr<IKsPropertySet> props;
    if (FAILED(pPin->QueryInterface(IID_IKsPropertySet, props.ReceiveVoid())) || !props) return false;
    GUID actual = GUID_NULL;
    DWORD cbReturned = 0;
    HRESULT hr = props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &actual, sizeof(actual),
                            &cbReturned);
    return hr == S_OK && cbReturned == sizeof(actual) && actual == category;
}

// A pin carries a major type when its connection has it or, unconnected, when it offers it.
bool HasMajorType(IPin* pPin, const GUID& majortype) {
    AM_MEDIA_TYPE mt{};
    if (pPin->ConnectionMediaType(&mt) == S_OK) {
        const bool match = mt.majortype == majortype;
        if (mt.cbFormat) CoTaskMemFree(mt.pbFormat);
        if (mt.pUnk) mt.pUnk->Release();
        return match;
    }
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pPin->EnumMediaTypes(types.Receive())) || !types) return false;
    bool match = false;
    AM_MEDIA_TYPE* pmt = nullptr;
    ULONG cFetched = 0;
    while (!match && types->Next(1, &pmt, &cFetched) == S_OK && cFetched == 1) {
        match = pmt->majortype == majortype;
        if (pmt->cbFormat) CoTaskMemFree(pmt->pbFormat);
        if (pmt->pUnk) pmt->pUnk->Release();
        CoTaskMemFree(pmt);
    }
    return match;
}

bool PinMatches(IPin* pPin, PIN_DIRECTION dir, const GUID* pCategory, const GUID* pType, BOOL fUnconnected) {
    if (!IsDirection(pPin, dir)) return false;
    if (fUnconnected && PeerOf(pPin)) return false;
    if (pCategory && !HasCategory(pPin, *pCategory)) return false;
    if (pType && !HasMajorType(pPin, *pType)) return false;
    return true;
}

class CaptureGraphBuilder final : public UnknownImpl<ICaptureGraphBuilder2> {
public:
    CaptureGraphBuilder() : UnknownImpl(IID_ICaptureGraphBuilder2) {}


    HRESULT SetFiltergraph(IGraphBuilder* pfg) override {
        if (!pfg) return E_POINTER;
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_graph) return E_UNEXPECTED;
        m_graph = ComPtr<IGraphBuilder>(pfg);
        return S_OK;
    }

    HRESULT GetFiltergraph(IGraphBuilder** ppfg) override {
        if (!ppfg) return E_POINTER;
        *ppfg = nullptr;
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_graph) {
            HRESULT hr = CreateFilterGraph(nullptr, IID_IGraphBuilder, m_graph.ReceiveVoid());
            if (FAILED(hr)) return hr;
        }
        *ppfg = ComPtr<IGraphBuilder>(m_graph).Detach();
        return S_OK;
    }

    HRESULT SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter** ppf, IFileSinkFilter** ppSink) override {
        if (ppf) *ppf = nullptr;
        if (ppSink) *ppSink = nullptr;
        return E_NOTIMPL;
    }

    HRESULT FindInterface(const GUID*, const GUID*, IBaseFilter* pf, REFIID riid, void** ppint) override {
        if (!ppint) return E_POINTER;
        *ppint = nullptr;
        if (!pf) return E_POINTER;
        HRESULT hr = pf->QueryInterface(riid, ppint);
        return FAILED(hr) ? E_NOINTERFACE : hr;
    }

    HRESULT RenderStream(const GUID* pCategory, const GUID* pType, IUnknown* pSource, IBaseFilter* pfCompressor,
                         IBaseFilter* pfRenderer) override {
        if (!pSource) return E_POINTER;
        // The host has no default renderers to pick.
        if (!pfRenderer) return E_NOTIMPL;
        ComPtr<IGraphBuilder> graph;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            graph = m_graph;
        }
        if (!graph) return E_UNEXPECTED;

        ComPtr<IPin> out;
        HRESULT hr = FindPin(pSource, PINDIR_OUTPUT, pCategory, pType, TRUE, 0, out.Receive());
        if (FAILED(hr)) return hr;
        AM_MEDIA_TYPE partial{};
        if (pType) partial.majortype = *pType;
        const AM_MEDIA_TYPE* pmt = pType ? &partial : nullptr;

        if (pfCompressor) {
            hr = ConnectToFirstInput(graph.Get(), out.Get(), pfCompressor, pmt);
            if (FAILED(hr)) return hr;
            hr = FindPin(pfCompressor, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, out.Receive());
            if (FAILED(hr)) return hr;
            pmt = nullptr;
        }
        return ConnectToFirstInput(graph.Get(), out.Get(), pfRenderer, pmt);
    }

    HRESULT ControlStream(const GUID*, const GUID*, IBaseFilter*, REFERENCE_TIME*, REFERENCE_TIME*, WORD,
                          WORD) override {
        return E_NOTIMPL;
    }
    HRESULT AllocCapFile(LPCOLESTR, DWORDLONG) override { return E_NOTIMPL; }
    HRESULT CopyCaptureFile(LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*) override { return E_NOTIMPL; }

    HRESULT FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory, const GUID* pType,
                    BOOL fUnconnected, int num, IPin** ppPin) override {
        if (!ppPin) return E_POINTER;
        *ppPin = nullptr;
        if (!pSource) return E_POINTER;
        ComPtr<IPin> pin;
        if (SUCCEEDED(pSource->QueryInterface(IID_IPin, pin.ReceiveVoid())) && pin) {
            if (num != 0 || !PinMatches(pin.Get(), pindir, pCategory, pType, fUnconnected)) return E_FAIL;
            *ppPin = pin.Detach();
            return S_OK;
        }
        ComPtr<IBaseFilter> filter;
        if (FAILED(pSource->QueryInterface(IID_IBaseFilter, filter.ReceiveVoid())) || !filter) return E_NOINTERFACE;
        for (ComPtr<IPin>& candidate : PinsOf(filter.Get())) {
            if (!PinMatches(candidate.Get(), pindir, pCategory, pType, fUnconnected)) continue;
            if (num-- == 0) {
                *ppPin = candidate.Detach();
                return S_OK;
            }
        }
        return E_FAIL;
    }

private:
    ~CaptureGraphBuilder() = default;

    HRESULT ConnectToFirstInput(IGraphBuilder* graph, IPin* out, IBaseFilter* pFilter, const AM_MEDIA_TYPE* pmt) {
        ComPtr<IPin> in;
        HRESULT hr = FindPin(pFilter, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, in.Receive());
        if (FAILED(hr)) return hr;
        return graph->ConnectDirect(out, in.Get(), pmt);
    }

    std::mutex m_lock;
    ComPtr<IGraphBuilder> m_graph;
};

} // namespace

HRESULT CreateCaptureGraphBuilder(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* builder = new (std::nothrow) CaptureGraphBuilder;
    if (!builder) return E_OUTOFMEMORY;
    builder->AddRef();
    HRESULT hr = builder->QueryInterface(riid, ppv);
    builder->Release();
    return hr;
}

namespace {
BuiltinClassRegistrar g_captureGraphBuilder(CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder);
} // namespace

} // namespace host
