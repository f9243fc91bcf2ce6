// The capture devices the system device enumerator lists, and their filters.
#pragma once

#include "plat/media.h"

#include <string>
#include <vector>

namespace propsheet {

struct Device {
    std::u16string name;
    IMoniker* moniker = nullptr; // one reference
};

class DeviceList {
public:
    DeviceList() = default;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    ~DeviceList();

    // Lists the devices of the data-compressor category, in the enumerator's order.
    HRESULT Load();
    const std::vector<Device>& Devices() const { return m_devices; }
    // The device named by an index ("0" is the first) or by its name, case-insensitively.
    const Device* Find(const std::string& which) const;
    // The device's filter object, with one reference.
    HRESULT Bind(const Device& device, IBaseFilter** filter) const;

private:
    std::vector<Device> m_devices;
};

} // namespace propsheet
