// A listed device as hardware: its state lives once, in $YRA_HOST_ROOT/devices/ID/, for every
// process; it powers on (takes its defaults) when first seen and whenever its devices.conf line
// changes, keeps its settings while plugged in, and can be unplugged and plugged in again.
//
//   devices/ID/state   the device's state, mapped by every process that opens the device and
//                      guarded by an advisory lock on the file (short: one property call)
//   devices/ID/claim   locked by the one client that streams the device; the system releases
//                      the lock when that client's process ends, however it ends
//
// ID is the device's name, with every byte other than letters, digits, '-' and '_' written as
// %XX, and "~N" after it for the Nth further device of the same name.
#pragma once

#include "host/device_list.h"

#include <memory>
#include <string>

namespace host {

// The folder of a listed device's state.
std::string DeviceStateFolder(const DeviceListEntry& device);

// A model over the device's shared state with the entry's faults; kDeviceNotConnected when the
// device is unplugged.
HRESULT AttachDeviceModel(const DeviceListEntry& device, std::shared_ptr<DeviceModel>* model);

struct DevicePresence {
    bool plugged = false;
    bool streaming = false; // a client holds the streaming claim
};
HRESULT QueryDevicePresence(const DeviceListEntry& device, DevicePresence* presence);
// Only whether it is plugged in: without the look through the system's locks for a streaming client.
HRESULT QueryDevicePlugged(const DeviceListEntry& device, bool* plugged);

// As a cable would: unplugging ends the device's stream and fails every call on it; plugging it
// in powers it on with its defaults. S_FALSE when it already was so.
HRESULT UnplugDevice(const DeviceListEntry& device);
HRESULT PlugDevice(const DeviceListEntry& device);
// Back to the power-on settings, without the device going away; kDeviceNotConnected when
// unplugged.
HRESULT ResetDevice(const DeviceListEntry& device);

} // namespace host
