// Encodes and multiplexes the loop for a set of encoder settings. Slow (a 1080p loop takes a
// fraction of a second on all cores), so the device goes through the loop cache instead.
#pragma once

#include "platform/devices/encoder/encoded_loop.h"

#include <atomic>
#include <memory>

namespace host::encoder {

// E_INVALIDARG for settings out of range, E_ABORT once `cancel` is set, other failures as the
// codec or muxer reported them.
Result<std::shared_ptr<const EncodedLoop>> EncodeLoop(const EncoderSettings& settings, const std::atomic<bool>& cancel);

} // namespace host::encoder
