// Where a device's state lives: in the process for a model of its own, or in a file under the
// host root that every process maps for a listed device.
#pragma once

#include "device_image.h"
#include "host/device_model.h"

#include <memory>
#include <string>

namespace host {

class DeviceStore {
public:
    virtual ~DeviceStore() = default;

    // The block; read and written only between lock() and unlock(), except its plug words.
    virtual DeviceImage& Image() = 0;
    // Excludes every other thread and process that uses the device.
    virtual void lock() = 0;
    virtual void unlock() = 0;
    virtual HRESULT ClaimStream(StreamClaim* claim) = 0;
};

// A device of its own, powered on and plugged in.
std::shared_ptr<DeviceStore> NewLocalDeviceStore(const DeviceConfig& config);

// The state file in `folder`, created when missing. A file that does not hold this layout, whose
// writer died mid-write, or that was powered on from another `configHash` is powered on for
// `config` (and counts as plugged in again). One store per folder and hash in a process.
HRESULT OpenSharedDeviceStore(const std::string& folder, const DeviceConfig& config, uint64_t configHash,
                              std::shared_ptr<DeviceStore>* store);

} // namespace host
