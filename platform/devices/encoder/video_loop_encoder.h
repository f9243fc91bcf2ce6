// Encodes the test pattern's loop with libx264: one closed GOP per loop starting with an IDR
// picture, no B-frames, an access unit delimiter on every picture and the parameter sets in
// front of every IDR picture, at a constant bit rate.
#pragma once

#include "platform/devices/encoder/codec_loop_encoder.h"
#include "platform/devices/encoder/test_pattern.h"

#include <atomic>
#include <vector>

namespace host::encoder {

class VideoLoopEncoder final : public CodecLoopEncoder {
public:
    VideoLoopEncoder(const EncoderSettings& settings, const LoopPlan& plan)
        : CodecLoopEncoder(settings, plan) {}

    Status Open();
    // One packet per loop frame, in order, with times in 90 kHz units. E_ABORT when cancelled.
    Status Encode(const TestPattern& pattern, const std::atomic<bool>& cancel,
                  std::vector<PacketPtr>& packets);

private:
    Status Drain(bool flushing, std::vector<PacketPtr>& packets);
};

} // namespace host::encoder
