// Encodes the loop's tone as AAC-LC with FFmpeg's own encoder: stereo, 1024 samples a frame.
#pragma once

#include "platform/devices/encoder/ffmpeg_handles.h"
#include "platform/devices/encoder/loop_plan.h"
#include "platform/devices/encoder/tone_generator.h"

#include <atomic>
#include <vector>

namespace host::encoder {

inline constexpr int64_t kAudioBitRate = 128000;

class AudioLoopEncoder {
public:
    AudioLoopEncoder(const EncoderSettings& settings, const LoopPlan& plan) : m_settings(settings), m_plan(plan) {}

    Status Open();
    // The plan's AudioFramesEncoded() packets, in order, with times in 90 kHz units.
    Status Encode(const ToneGenerator& tone, const std::atomic<bool>& cancel, std::vector<PacketPtr>& packets);
    const AVCodecContext* Context() const { return m_context.get(); }

private:
    Status Drain(bool flushing, std::vector<PacketPtr>& packets);

    EncoderSettings m_settings;
    LoopPlan m_plan;
    CodecContextPtr m_context;
};

} // namespace host::encoder
