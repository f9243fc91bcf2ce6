// The sound the virtual device encodes: a 1 kHz beep at the loop's marker, silence around it. The
// loop starts and ends in silence, so repetitions join without a click whatever their length.
#pragma once

#include "platform/devices/encoder/loop_plan.h"

#include <cstdint>

namespace host::encoder {

inline constexpr double kToneHz = 1000.0;

class ToneGenerator {
public:
    // volume 0-15 scales the beep linearly; 15 peaks at half of full scale.
    ToneGenerator(const LoopPlan& plan, int32_t volume);

    // Stereo samples from `firstSample` (counted from the loop's start) into two planar buffers.
    void Fill(int64_t firstSample, int32_t count, float* left, float* right) const;

private:
    LoopPlan m_plan;
    float m_amplitude;
};

} // namespace host::encoder
