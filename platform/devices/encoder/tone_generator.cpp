#include "platform/devices/encoder/tone_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace host::encoder {

ToneGenerator::ToneGenerator(const LoopPlan& plan, int32_t volume)
    : m_plan(plan), m_amplitude(0.5f * static_cast<float>(std::clamp(volume, 0, 15)) / 15.0f) {}

void ToneGenerator::Fill(int64_t firstSample, int32_t count, float* left, float* right) const {
    const double rate = m_plan.SampleRate();
    const double beepStart = static_cast<double>(kMarkerStartMs) / 1000.0;
    const double beepEnd = beepStart + static_cast<double>(kMarkerLengthMs) / 1000.0;
    constexpr double kRampSeconds = 0.005; // soft edges keep the beep from clicking
    for (int32_t i = 0; i < count; ++i) {
        const int64_t n = firstSample + i;
        float value = 0.0f;
        if (m_plan.IsMarkerSample(n)) {
            const double t = static_cast<double>(n) / rate;
            const double edge = std::min({1.0, (t - beepStart) / kRampSeconds, (beepEnd - t) / kRampSeconds});
            value = m_amplitude * static_cast<float>(std::max(0.0, edge) * std::sin(2.0 * std::numbers::pi * kToneHz * t));
        }
        left[i] = value;
        right[i] = value;
    }
}

} // namespace host::encoder
