// The inside of the device model: what its own lock guards. The device's state proper (the words,
// the MCU, the plug) is in its store; what is here belongs to one model object: the name it was
// listed under, its call log and the faults a test or the device list told it to show.
#pragma once

#include "host/device_model.h"
#include "mcu_channel.h"

#include <map>
#include <tuple>
#include <vector>

namespace host {

struct PropertyKey {
    GUID set;
    ULONG id;
    bool operator<(const PropertyKey& other) const {
        if (set != other.set) return GuidLess{}(set, other.set);
        return id < other.id;
    }
};

struct RefusalKey {
    PropertyKey property;
    PropertyAccess access;
    bool operator<(const RefusalKey& other) const {
        if (property < other.property) return true;
        if (other.property < property) return false;
        return access < other.access;
    }
};

struct DeviceState {
    DeviceConfig config;
    McuOverrides mcu;
    std::map<RefusalKey, HRESULT> refusals;
    std::map<GUID, HRESULT, GuidLess> interfaceFaults;
    std::vector<PropertyCall> calls;
    DeviceModel::SettingsListener settingsListener;
    EncoderSettings announcedSettings; // what the listener last heard
};

} // namespace host
