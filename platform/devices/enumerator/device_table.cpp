// The devices bound so far in this process. A device keeps its filter object for as long as it
// stays plugged in: binding the same device again hands out the same object, and an unplugged
// device's object is let go, so that plugging it in again gives a fresh one, as a new handle on
// real hardware would.
#include "host/device_filter.h"
#include "host/device_list.h"
#include "host/device_presence.h"

#include <map>
#include <mutex>
#include <tuple>

namespace host {
namespace {

using DeviceKey = std::tuple<std::string, int, std::string>; // list file, line, line text

class DeviceTable {
public:
    DeviceTable() = default;
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;
    ~DeviceTable() {
        for (auto& [key, pFilter] : m_filters)
            pFilter->Release();
    }

    HRESULT Bind(const DeviceListEntry& device, IBaseFilter** ppFilter) {
        std::lock_guard hold(m_lock);
        const DeviceKey key{DeviceStateFolder(device), device.line, device.source};
        auto it = m_filters.find(key);
        if (it != m_filters.end()) {
            std::shared_ptr<DeviceModel> model = DeviceModelOf(it->second);
            if (!model || model->IsLost()) {
                it->second->Release();
                m_filters.erase(it);
                it = m_filters.end();
            }
        }
        if (it == m_filters.end()) {
            std::shared_ptr<DeviceModel> model;
            HRESULT hr = AttachDeviceModel(device, &model);
            if (FAILED(hr)) return hr;
            // The stream the device will send is prepared ahead: for the settings it has now, and
            // again whenever a write changes them, so that a run starts at once.
            PrepareStream(*model);
            model->SetSettingsListener(PrepareStream);
            IBaseFilter* pFilter = nullptr;
            hr = CreateDeviceFilter(std::move(model), &pFilter);
            if (FAILED(hr)) return hr;
            it = m_filters.emplace(key, pFilter).first;
        }
        it->second->AddRef();
        *ppFilter = it->second;
        return S_OK;
    }

private:
    std::mutex m_lock;
    std::map<DeviceKey, IBaseFilter*> m_filters; // one reference each
};

DeviceTable& Devices() {
    static DeviceTable table;
    return table;
}

} // namespace

HRESULT BindDeviceFilter(const DeviceListEntry& device, IBaseFilter** ppFilter) {
    if (!ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    return Devices().Bind(device, ppFilter);
}

} // namespace host
