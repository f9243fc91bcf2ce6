#include "platform/devices/filter/device_filter.h"

#include "plat/com.h"
#include "platform/devices/filter/capture_pin.h"
#include "platform/devices/filter/extension_pages.h"

#include <algorithm>
#include <array>
#include <new>

namespace host {
namespace {

// A class id of its own, so that the filter can say what it is (IPersist).
YRA_DEFINE_GUID(CLSID_HostVirtualDevice, 0x6A1D9C52, 0x3E0B, 0x4B7F, 0x8F, 0x21, 0x5C, 0x97, 0x0E, 0x44, 0xB3,
                0x19);

// Every property set the device answers; pages filed under any of them are the device's.
constexpr std::array<GUID, 5> kDeviceSets = {PROPSETID_HDC_ENCODER, PROPSETID_HDC_DEVICE,
                                             PROPSETID_VIDCAP_VIDEOPROCAMP, PROPSETID_EXT_NODE2,
                                             PROPSETID_EXT_NODE4};

} // namespace

CDeviceFilter::CDeviceFilter(std::shared_ptr<DeviceModel> model, HRESULT* phr)
    : CBaseFilter(u"Virtual capture device", nullptr, &m_csFilter, CLSID_HostVirtualDevice),
      m_ks(GetOwner(), std::move(model)) {
    m_pPin.reset(new (std::nothrow) CCapturePin(this, &m_csFilter, phr));
    if (!m_pPin && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

// The pin goes first: its streaming thread reports to this filter until it is joined.
CDeviceFilter::~CDeviceFilter() {
    m_pPin.reset();
}

HRESULT CDeviceFilter::Create(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter) {
    if (!ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    if (!model) return E_INVALIDARG;
    HRESULT hr = S_OK;
    auto* pFilter = new (std::nothrow) CDeviceFilter(std::move(model), &hr);
    if (!pFilter) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pFilter;
        return hr;
    }
    pFilter->NonDelegatingAddRef();
    *ppFilter = pFilter;
    return S_OK;
}

HRESULT CDeviceFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (DeviceKsInterfaces::IsKsInterface(riid)) return m_ks.QueryKsInterface(riid, ppv);
    if (riid == IID_IHostDeviceFilter) return GetInterface(static_cast<IHostDeviceFilter*>(this), ppv);
    // The model can be told to refuse any interface, as a misbehaving driver stack would.
    if (riid != IID_IUnknown) {
        HRESULT fault = m_ks.Model()->InterfaceFault(riid);
        if (FAILED(fault)) return fault;
    }
    if (riid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int CDeviceFilter::GetPinCount() {
    return 1;
}

CBasePin* CDeviceFilter::GetPin(int n) {
    return n == 0 ? m_pPin.get() : nullptr;
}

HRESULT CDeviceFilter::GetState(DWORD dwMSecs, FILTER_STATE* State) {
    HRESULT hr = CBaseFilter::GetState(dwMSecs, State);
    if (hr == S_OK && *State == State_Paused) return VFW_S_CANT_CUE;
    return hr;
}

HRESULT CDeviceFilter::GetPages(CAUUID* pPages) {
    if (!pPages) return E_POINTER;
    pPages->cElems = 0;
    pPages->pElems = nullptr;
    const std::vector<CLSID> pages = ExtensionPagesFiledUnder(kDeviceSets);
    if (pages.empty()) return S_OK;
    auto* pElems = static_cast<GUID*>(CoTaskMemAlloc(pages.size() * sizeof(GUID)));
    if (!pElems) return E_OUTOFMEMORY;
    std::copy(pages.begin(), pages.end(), pElems);
    pPages->cElems = static_cast<ULONG>(pages.size());
    pPages->pElems = pElems;
    return S_OK;
}

DeviceStreamStats CDeviceFilter::Stats() const {
    return m_pPin->Stats();
}

// ---- host access ---------------------------------------------------------------------------

HRESULT CreateDeviceFilter(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter) {
    return CDeviceFilter::Create(std::move(model), ppFilter);
}

namespace {

template <class Fn>
auto WithDeviceFilter(IUnknown* pFilter, Fn fn) -> decltype(fn(std::declval<IHostDeviceFilter&>())) {
    if (!pFilter) return {};
    IHostDeviceFilter* pDevice = nullptr;
    if (FAILED(pFilter->QueryInterface(IID_IHostDeviceFilter, reinterpret_cast<void**>(&pDevice))) ||
        !pDevice)
        return {};
    auto result = fn(*pDevice);
    pDevice->Release();
    return result;
}

} // namespace

std::shared_ptr<DeviceModel> DeviceModelOf(IUnknown* pFilter) {
    return WithDeviceFilter(pFilter, [](IHostDeviceFilter& d) { return d.Model(); });
}

std::optional<DeviceStreamStats> DeviceStreamStatsOf(IUnknown* pFilter) {
    return WithDeviceFilter(pFilter,
                            [](IHostDeviceFilter& d) { return std::optional<DeviceStreamStats>(d.Stats()); });
}

} // namespace host
