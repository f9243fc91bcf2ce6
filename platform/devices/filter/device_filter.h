// The device filter: a filter with one capture pin, the device's property interfaces over its
// model, and the extension pages filed for the device's property sets.
#pragma once

#include "framework/streams.h"
#include "host/device_filter.h"
#include "host/device_ks.h"

#include <memory>

namespace host {

// Answered only by the host's own device filters, so that host code can find the model
// behind any interface of one. Never leaves the host library.
YRA_DEFINE_GUID(IID_IHostDeviceFilter, 0x6A1D9C52, 0x3E0B, 0x4B7F, 0x8F, 0x21, 0x5C, 0x97, 0x0E, 0x44, 0xB3,
                0x18);

struct IHostDeviceFilter : IUnknown {
    virtual std::shared_ptr<DeviceModel> Model() const = 0;
    virtual DeviceStreamStats Stats() const = 0;

protected:
    ~IHostDeviceFilter() = default;
};

class CCapturePin;

class CDeviceFilter final : public CBaseFilter, public ISpecifyPropertyPages, public IHostDeviceFilter {
public:
    static HRESULT Create(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // A live source has nothing to show before it runs: paused, it answers VFW_S_CANT_CUE.
    HRESULT GetState(DWORD dwMSecs, FILTER_STATE* State) override;

    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pPages) override;

    // IHostDeviceFilter
    std::shared_ptr<DeviceModel> Model() const override { return m_ks.Model(); }
    DeviceStreamStats Stats() const override;

private:
    CDeviceFilter(std::shared_ptr<DeviceModel> model, HRESULT* phr);
    ~CDeviceFilter() override;

    CCritSec m_csFilter;
    DeviceKsInterfaces m_ks;
    std::unique_ptr<CCapturePin> m_pPin;
};

} // namespace host
