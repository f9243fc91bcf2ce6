// The virtual device's filter object: what the kernel-streaming filter proxy is for a real
// device. One output pin streams the encoded transport stream while the graph runs; the filter
// itself answers IKsPropertySet and IKsControl over the device model, and ISpecifyPropertyPages
// with the pages filed in the registry under the device's property sets.
#pragma once

#include "host/device_model.h"
#include "plat/media.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace host {

// What the device's streaming side did in its current (or last) run.
struct DeviceStreamStats {
    uint64_t runs = 0;                // times the filter left the stopped state
    bool streamReady = false;         // this run's stream is encoded and pacing has begun
    uint64_t samplesDelivered = 0;    // this run: samples the downstream pin took (S_OK)
    uint64_t bytesDelivered = 0;      // this run: their bytes
    HRESULT lastDeliverResult = S_OK; // this run: the downstream pin's last answer
    HRESULT streamingError = S_OK;    // this run: the failure sent to the graph as EC_ERRORABORT
    bool deviceLost = false;          // this run ended because the device was unplugged
};

// The name of the device filter's one output pin.
inline constexpr const WCHAR* kDeviceCapturePinName = u"Capture";

// Bytes of transport stream a sample carries at most: whole 188-byte packets.
inline constexpr long kDeviceSampleBytes = 188 * 348;

// A device filter over `model`, with one reference.
HRESULT CreateDeviceFilter(std::shared_ptr<DeviceModel> model, IBaseFilter** ppFilter);

// The model behind a device filter (asked through any of its interfaces), so that tests and
// tools can inject faults and read settings; null for any other object.
std::shared_ptr<DeviceModel> DeviceModelOf(IUnknown* pFilter);

// The streaming figures of a device filter; nullopt for any other object.
std::optional<DeviceStreamStats> DeviceStreamStatsOf(IUnknown* pFilter);

// Starts preparing, in the background, the stream the device will send for its current settings,
// so that its next run starts at once. Devices bound from the list do it whenever a write
// changes their settings.
void PrepareStream(const DeviceModel& model);

// Waits up to `timeout` for the streams being prepared; true when none is left. A tool that
// changed a setting and exits calls it, so that its work is kept for the next process.
bool WaitForPreparedStreams(std::chrono::milliseconds timeout);

} // namespace host
