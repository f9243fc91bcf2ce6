#include "platform/devices/filter/stream_settings.h"

#include "host/device_filter.h"
#include "host/utf.h"
#include "platform/devices/encoder/loop_cache.h"

#include <algorithm>

namespace host {
namespace {

// The generator starts at 64 pixels a side; the model lets a picture go down to 16, which the
// device then encodes at the generator's smallest size rather than not at all.
constexpr int32_t kSmallestSide = 64;

int32_t EvenSide(uint32_t pixels, uint32_t largest) {
    const auto side = static_cast<int32_t>(std::clamp<uint32_t>(pixels, kSmallestSide, largest));
    return side & ~1;
}

} // namespace

encoder::EncoderSettings StreamSettingsOf(const DeviceModel& model) {
    const EncoderSettings device = model.Settings();
    encoder::EncoderSettings s;
    s.width = EvenSide(device.width, 4096);
    s.height = EvenSide(device.height, 2304);
    s.frameRate = {static_cast<int32_t>(device.frameRate), 1};
    s.bitrateKbps = static_cast<int32_t>(device.bitRateKbps);
    s.audioEnabled = device.audioOn;
    s.sampleRateHz = static_cast<int32_t>(device.sampleRateHz);
    s.volume = static_cast<int32_t>(device.volume);
    s.deviceName = Utf8FromWide(model.Name());
    return s;
}

void PrepareStream(const DeviceModel& model) {
    encoder::LoopCache::Shared().Prefetch(StreamSettingsOf(model));
}

bool WaitForPreparedStreams(std::chrono::milliseconds timeout) {
    return encoder::LoopCache::Shared().WaitIdle(timeout);
}

} // namespace host
