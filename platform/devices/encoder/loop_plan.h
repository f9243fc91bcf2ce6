// The arithmetic of the repeated loop. The device encodes a short loop once and repeats it; the
// plan says how many video frames the loop holds, how many audio frames each repetition carries,
// and when every frame falls on the continuing time line. All times come from exact frame and
// sample counts, so nothing drifts however long a run lasts.
#pragma once

#include "platform/devices/encoder/encoder_settings.h"

#include <cstdint>

namespace host::encoder {

inline constexpr int64_t kMpegClockHz = 90000;        // PTS/DTS units per second
inline constexpr int64_t kReferenceUnitsPerSecond = 10'000'000; // 100-ns units
inline constexpr int32_t kAacFrameSamples = 1024;

// A short beep and a bright square on the picture mark the same moment of every loop, so that a
// viewer can check lip sync. Times are from the start of the loop.
inline constexpr int64_t kMarkerStartMs = 100;
inline constexpr int64_t kMarkerLengthMs = 200;

class LoopPlan {
public:
    // The loop is one to two seconds long (two frames at least); with audio, the length in that range whose duration is
    // closest to a whole number of AAC frames, so that repetitions rarely need an extra frame.
    static LoopPlan For(const EncoderSettings& settings);

    int32_t VideoFrames() const { return m_videoFrames; }
    FrameRate Rate() const { return m_rate; }
    bool HasAudio() const { return m_sampleRate != 0; }
    int32_t SampleRate() const { return m_sampleRate; }

    // Audio frames the encoded loop holds: enough for the longest repetition.
    int32_t AudioFramesEncoded() const;
    // Audio frames sent before repetition `repetition` starts, and within it. Each repetition
    // carries the loop's first frames, as many as keep the audio time line within half a frame
    // of the video time line.
    int64_t AudioFramesBefore(int64_t repetition) const;
    int32_t AudioFramesIn(int64_t repetition) const;

    // Start of a frame counted from the start of the stream.
    int64_t VideoFrameTime90k(int64_t frame) const;
    int64_t VideoFrameTime100ns(int64_t frame) const;
    int64_t AudioFrameTime90k(int64_t frame) const;

    bool IsMarkerFrame(int32_t loopFrame) const;
    bool IsMarkerSample(int64_t loopSample) const;

private:
    LoopPlan(FrameRate rate, int32_t videoFrames, int32_t sampleRate)
        : m_rate(rate), m_videoFrames(videoFrames), m_sampleRate(sampleRate) {}

    FrameRate m_rate;
    int32_t m_videoFrames;
    int32_t m_sampleRate; // 0 without audio
};

} // namespace host::encoder
