// The inside of the device model: everything its lock guards.
#pragma once

#include "host/device_model.h"
#include "mcu_channel.h"

#include <map>
#include <optional>
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

using PropertyStore = std::map<PropertyKey, std::vector<uint8_t>>;

// The words the device holds after power-on.
PropertyStore PowerOnStore();

struct DeviceState {
    DeviceConfig config;
    PropertyStore store;
    McuChannel mcu;
    // The address the node-2 identification property latched, and the command word with it.
    uint32_t identificationAddress = 0x38;
    uint32_t identificationCommand = 1;
    uint32_t mjpgFrameRate = 30;

    std::map<RefusalKey, HRESULT> refusals;
    std::map<GUID, HRESULT, GuidLess> interfaceFaults;
    std::vector<PropertyCall> calls;
};

} // namespace host
