#include "platform/devices/encoder/loop_plan.h"

#include <algorithm>

namespace host::encoder {
namespace {

// a * b / c rounded down, without overflow for the products of counts and clock rates.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
    const __int128 product = static_cast<__int128>(a) * b;
    __int128 q = product / c;
    if ((product % c != 0) && ((product < 0) != (c < 0))) --q;
    return static_cast<int64_t>(q);
}

} // namespace

LoopPlan LoopPlan::For(const EncoderSettings& s) {
    const int64_t num = s.frameRate.num, den = s.frameRate.den;
    // Whole frames in one and in two seconds; never a single picture, since two IDR pictures in
    // a row must differ in their IDR id, which a repeated one cannot.
    const int64_t shortest = std::max<int64_t>(2, (num + den / 2) / den);
    const int64_t longest = std::max<int64_t>(shortest, (2 * num + den / 2) / den);
    if (!s.audioEnabled) return LoopPlan(s.frameRate, static_cast<int32_t>(shortest), 0);

    // L frames last L*den*rate/num samples; the remainder against whole AAC frames, scaled by num,
    // is what a repetition has to absorb. The shortest loop wins a tie: it encodes fastest.
    const int64_t frameUnits = num * kAacFrameSamples;
    int64_t best = shortest, bestMiss = frameUnits;
    for (int64_t frames = shortest; frames <= longest; ++frames) {
        const int64_t rest = frames * den * s.sampleRateHz % frameUnits;
        const int64_t miss = std::min(rest, frameUnits - rest);
        if (miss < bestMiss) {
            best = frames;
            bestMiss = miss;
        }
    }
    return LoopPlan(s.frameRate, static_cast<int32_t>(best), s.sampleRateHz);
}

int32_t LoopPlan::AudioFramesEncoded() const {
    if (!HasAudio()) return 0;
    const int64_t units = int64_t{m_videoFrames} * m_rate.den * m_sampleRate;
    const int64_t frameUnits = int64_t{m_rate.num} * kAacFrameSamples;
    return static_cast<int32_t>((units + frameUnits - 1) / frameUnits);
}

int64_t LoopPlan::AudioFramesBefore(int64_t repetition) const {
    if (!HasAudio()) return 0;
    // Round to the nearest frame: audio frames start within half a frame of the loop's start.
    const int64_t frameUnits = int64_t{m_rate.num} * kAacFrameSamples;
    const int64_t units = int64_t{m_videoFrames} * m_rate.den * m_sampleRate;
    const __int128 doubled = static_cast<__int128>(2 * repetition) * units + frameUnits;
    return static_cast<int64_t>(doubled / (2 * frameUnits));
}

int32_t LoopPlan::AudioFramesIn(int64_t repetition) const {
    return static_cast<int32_t>(AudioFramesBefore(repetition + 1) - AudioFramesBefore(repetition));
}

int64_t LoopPlan::VideoFrameTime90k(int64_t frame) const {
    return MulDiv(frame, kMpegClockHz * m_rate.den, m_rate.num);
}

int64_t LoopPlan::VideoFrameTime100ns(int64_t frame) const {
    return MulDiv(frame, kReferenceUnitsPerSecond * m_rate.den, m_rate.num);
}

int64_t LoopPlan::AudioFrameTime90k(int64_t frame) const {
    if (!HasAudio()) return 0;
    return MulDiv(frame, kMpegClockHz * kAacFrameSamples, m_sampleRate);
}

bool LoopPlan::IsMarkerFrame(int32_t loopFrame) const {
    const int64_t ms = MulDiv(loopFrame, 1000 * int64_t{m_rate.den}, m_rate.num);
    return ms >= kMarkerStartMs && ms < kMarkerStartMs + kMarkerLengthMs;
}

bool LoopPlan::IsMarkerSample(int64_t loopSample) const {
    if (!HasAudio()) return false;
    const int64_t ms = MulDiv(loopSample, 1000, m_sampleRate);
    return ms >= kMarkerStartMs && ms < kMarkerStartMs + kMarkerLengthMs;
}

} // namespace host::encoder
