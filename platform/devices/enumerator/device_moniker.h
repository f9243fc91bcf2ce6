// A device's moniker, as the system device enumerator hands it out: its property bag gives the
// friendly name, and binding it gives the device's filter object.
#pragma once

#include "host/device_list.h"

namespace host {

// A new moniker for `device`, with one reference.
HRESULT CreateDeviceMoniker(const DeviceListEntry& device, IMoniker** ppMoniker);

} // namespace host
