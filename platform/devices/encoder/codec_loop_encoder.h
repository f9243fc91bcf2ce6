// What the loop's video and audio encoders share: the settings and plan they encode for, and the
// codec context each opens and the muxer then reads.
#pragma once

#include "platform/devices/encoder/ffmpeg_handles.h"
#include "platform/devices/encoder/loop_plan.h"

namespace host::encoder {

class CodecLoopEncoder {
public:
    CodecLoopEncoder(const CodecLoopEncoder&) = delete;
    CodecLoopEncoder& operator=(const CodecLoopEncoder&) = delete;

    const AVCodecContext* Context() const { return m_context.get(); }

protected:
    CodecLoopEncoder(const EncoderSettings& settings, const LoopPlan& plan)
        : m_settings(settings), m_plan(plan) {}
    ~CodecLoopEncoder() = default;

    EncoderSettings m_settings;
    LoopPlan m_plan;
    CodecContextPtr m_context;
};

} // namespace host::encoder
