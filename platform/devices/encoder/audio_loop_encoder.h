// Encodes the loop's tone as AAC-LC with FFmpeg's own encoder: stereo, 1024 samples a frame.
#pragma once

#include "platform/devices/encoder/codec_loop_encoder.h"
#include "platform/devices/encoder/tone_generator.h"

#include <atomic>
#include <vector>

namespace host::encoder {

inline constexpr int64_t kAudioBitRate = 128000;

class AudioLoopEncoder final : public CodecLoopEncoder {
public:
    AudioLoopEncoder(const EncoderSettings& settings, const LoopPlan& plan)
        : CodecLoopEncoder(settings, plan) {}

    Status Open();
    // The plan's AudioFramesEncoded() packets, in order, with times in 90 kHz units.
    Status Encode(const ToneGenerator& tone, const std::atomic<bool>& cancel,
                  std::vector<PacketPtr>& packets);

private:
    Status Drain(bool flushing, std::vector<PacketPtr>& packets);
};

} // namespace host::encoder
