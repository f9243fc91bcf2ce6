// Encodes the test pattern's loop with libx264: one closed GOP per loop starting with an IDR
// picture, no B-frames, an access unit delimiter on every picture and the parameter sets in
// front of every IDR picture, at a constant bit rate.
#pragma once

#include "platform/devices/encoder/ffmpeg_handles.h"
#include "platform/devices/encoder/loop_plan.h"
#include "platform/devices/encoder/test_pattern.h"

#include <atomic>
#include <vector>

namespace host::encoder {

class VideoLoopEncoder {
public:
    VideoLoopEncoder(const EncoderSettings& settings, const LoopPlan& plan) : m_settings(settings), m_plan(plan) {}

    Status Open();
    // One packet per loop frame, in order, with times in 90 kHz units. E_ABORT when cancelled.
    Status Encode(const TestPattern& pattern, const std::atomic<bool>& cancel, std::vector<PacketPtr>& packets);
    const AVCodecContext* Context() const { return m_context.get(); }

private:
    Status Drain(bool flushing, std::vector<PacketPtr>& packets);

    EncoderSettings m_settings;
    LoopPlan m_plan;
    CodecContextPtr m_context;
};

} // namespace host::encoder
