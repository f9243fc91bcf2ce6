// The picture the virtual device encodes: colour bars, a grey ramp, a box that crosses the picture
// once per loop, the device's name and settings, the frame's place in the loop, and a square that
// lights up with the beep. Every moving part completes whole cycles in one loop, so the loop repeats without
// a visible seam.
#pragma once

#include "platform/devices/encoder/encoder_settings.h"
#include "platform/devices/encoder/loop_plan.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace host::encoder {

// A picture in planar YUV 4:2:0 (8 bits, video range), owned by the caller.
struct PicturePlanes {
    std::array<uint8_t*, 3> data{};
    std::array<int, 3> stride{};
};

class TestPattern {
public:
    TestPattern(const EncoderSettings& settings, const LoopPlan& plan);

    void Render(int32_t loopFrame, const PicturePlanes& out) const;

private:
    std::string FrameText(int32_t loopFrame) const;

    struct Plane {
        std::vector<uint8_t> pixels;
        int width = 0;
        int height = 0;
    };
    void DrawBackground();

    LoopPlan m_plan;
    EncoderSettings m_settings;
    int m_scale = 1;
    std::array<Plane, 3> m_background;
};

} // namespace host::encoder
