// A pinless filter object that carries the device's property interfaces, for callers that need
// only the control path (the SDK's tests and tools) until a device's full filter is built.
#include "host/device_ks.h"
#include "host/unknown_impl.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace host {
namespace {

class DeviceControlFilter final : public UnknownImpl<IBaseFilter> {
public:
    explicit DeviceControlFilter(std::shared_ptr<DeviceModel> model)
        : UnknownImpl(IID_IBaseFilter), m_ks(this, std::move(model)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (DeviceKsInterfaces::IsKsInterface(riid)) return m_ks.QueryKsInterface(riid, ppv);
        if (riid != IID_IUnknown && riid != IID_IPersist && riid != IID_IMediaFilter &&
            riid != IID_IBaseFilter)
            return E_NOINTERFACE;
        if (riid != IID_IUnknown) {
            HRESULT fault = m_ks.Model()->InterfaceFault(riid);
            if (FAILED(fault)) return fault;
        }
        // IBaseFilter is also its IUnknown, IPersist and IMediaFilter.
        return UnknownImpl::QueryInterface(IID_IBaseFilter, ppv);
    }

    // IPersist: this object has no class of its own.
    HRESULT GetClassID(CLSID* pClassID) override {
        if (!pClassID) return E_POINTER;
        *pClassID = GUID_NULL;
        return S_OK;
    }

    // IMediaFilter: the state is kept but nothing streams.
    HRESULT Stop() override { return SetState(State_Stopped); }
    HRESULT Pause() override { return SetState(State_Paused); }
    HRESULT Run(REFERENCE_TIME) override { return SetState(State_Running); }
    HRESULT GetState(DWORD, FILTER_STATE* State) override {
        if (!State) return E_POINTER;
        *State = m_state.load();
        return S_OK;
    }
    HRESULT SetSyncSource(IReferenceClock*) override { return S_OK; }
    HRESULT GetSyncSource(IReferenceClock** pClock) override {
        if (!pClock) return E_POINTER;
        *pClock = nullptr;
        return S_OK;
    }

    // IBaseFilter
    HRESULT EnumPins(IEnumPins** ppEnum) override {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    }
    HRESULT FindPin(LPCWSTR, IPin** ppPin) override {
        if (!ppPin) return E_POINTER;
        *ppPin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override {
        if (!pInfo) return E_POINTER;
        std::u16string name = m_ks.Model()->Name();
        size_t count = std::min<size_t>(name.size(), MAX_FILTER_NAME - 1);
        std::copy_n(name.begin(), count, pInfo->achName);
        pInfo->achName[count] = u'\0';
        pInfo->pGraph = m_graph;
        if (m_graph) m_graph->AddRef();
        return S_OK;
    }
    HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR) override {
        m_graph = pGraph; // the graph owns the filter, never the other way round
        return S_OK;
    }
    HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) override {
        if (pVendorInfo) *pVendorInfo = nullptr;
        return E_NOTIMPL;
    }

private:
    ~DeviceControlFilter() override = default;
    HRESULT SetState(FILTER_STATE state) {
        m_state = state;
        return S_OK;
    }

    DeviceKsInterfaces m_ks;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    IFilterGraph* m_graph = nullptr;
};

} // namespace

HRESULT CreateDeviceControlFilter(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter) {
    if (!ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    if (!model) return E_INVALIDARG;
    auto* filter = new (std::nothrow) DeviceControlFilter(std::move(model));
    if (!filter) return E_OUTOFMEMORY;
    filter->AddRef();
    *ppFilter = filter;
    return S_OK;
}

} // namespace host
