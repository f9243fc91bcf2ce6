// How the device answers a property request that passed the model's log and fault checks.
#pragma once

#include "host/device_model.h"

namespace host {

struct DeviceImage;
struct McuOverrides;

// Answers `request` from (and into) the device's state; the caller holds the state's lock.
HRESULT DispatchProperty(DeviceImage& image, const McuOverrides& mcu, const PropertyRequest& request,
                         ULONG* bytesReturned);

} // namespace host
