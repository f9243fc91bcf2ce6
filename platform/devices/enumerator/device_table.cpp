// The devices bound so far in this process. A device keeps its filter object, and with it its
// settings, for as long as the process lives, as a device stays plugged in: binding the same
// device again hands out the same object.
#include "host/device_filter.h"
#include "host/device_list.h"

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
        const DeviceKey key{device.listPath, device.line, device.source};
        auto it = m_filters.find(key);
        if (it == m_filters.end()) {
            IBaseFilter* pFilter = nullptr;
            HRESULT hr = CreateDeviceFilter(MakeModel(device), &pFilter);
            if (FAILED(hr)) return hr;
            it = m_filters.emplace(key, pFilter).first;
        }
        it->second->AddRef();
        *ppFilter = it->second;
        return S_OK;
    }

private:
    static std::shared_ptr<DeviceModel> MakeModel(const DeviceListEntry& device) {
        auto model = std::make_shared<DeviceModel>(device.config);
        for (const PropertyFault& f : device.propertyFaults)
            model->Refuse(f.set, f.id, f.access, f.result);
        for (const InterfaceFault& f : device.interfaceFaults)
            model->FailQueryInterface(f.iid, f.result);
        return model;
    }

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
