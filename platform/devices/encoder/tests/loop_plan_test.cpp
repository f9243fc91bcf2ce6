// The loop's arithmetic: its length, and the audio frames that keep each repetition in step with
// the video for as long as a device runs.
#include "platform/devices/encoder/loop_plan.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace host::encoder;

namespace {

EncoderSettings WithRates(int32_t num, int32_t den, int32_t sampleRate, bool audio = true) {
    EncoderSettings s;
    s.frameRate = {num, den};
    s.sampleRateHz = sampleRate;
    s.audioEnabled = audio;
    return s;
}

TEST(LoopPlan, ChoosesALengthThatHoldsWholeAudioFramesWhenOneExists) {
    // 32 frames at 30 fps are 51200 samples at 48 kHz: exactly 50 AAC frames.
    const LoopPlan at30 = LoopPlan::For(WithRates(30, 1, 48000));
    EXPECT_EQ(at30.VideoFrames(), 32);
    EXPECT_EQ(at30.AudioFramesEncoded(), 50);
    for (int64_t r = 0; r < 100; ++r) EXPECT_EQ(at30.AudioFramesIn(r), 50);

    const LoopPlan at25 = LoopPlan::For(WithRates(25, 1, 48000));
    EXPECT_EQ(at25.VideoFrames(), 32); // 61440 samples, 60 frames
    EXPECT_EQ(at25.AudioFramesEncoded(), 60);

    // Without audio nothing constrains it: one second.
    const LoopPlan silent = LoopPlan::For(WithRates(30, 1, 48000, false));
    EXPECT_EQ(silent.VideoFrames(), 30);
    EXPECT_FALSE(silent.HasAudio());
    EXPECT_EQ(silent.AudioFramesEncoded(), 0);

    // A repeated single picture would be two identical IDR pictures in a row.
    EXPECT_EQ(LoopPlan::For(WithRates(1, 1, 48000, false)).VideoFrames(), 2);
}

TEST(LoopPlan, AudioNeverDriftsFromVideoOverLongRuns) {
    const EncoderSettings cases[] = {WithRates(30, 1, 44100), WithRates(25, 1, 44100), WithRates(60, 1, 44100),
                                     WithRates(30000, 1001, 48000), WithRates(24, 1, 44100), WithRates(50, 1, 48000)};
    for (const EncoderSettings& s : cases) {
        const LoopPlan plan = LoopPlan::For(s);
        const double fps = s.frameRate.PerSecond();
        EXPECT_GE(plan.VideoFrames(), std::floor(fps)) << fps;
        EXPECT_LE(plan.VideoFrames(), std::ceil(2 * fps)) << fps;
        const double frameSeconds = 1024.0 / s.sampleRateHz;
        // A day of repetitions: the audio that precedes each repetition ends within half an AAC
        // frame of the video, and no repetition needs more audio than the loop holds.
        for (int64_t r = 0; r < 86400 * 60 / plan.VideoFrames(); r += 97) {
            const double videoSeconds = static_cast<double>(r * plan.VideoFrames()) / fps;
            const double audioSeconds = static_cast<double>(plan.AudioFramesBefore(r)) * frameSeconds;
            ASSERT_LE(std::abs(audioSeconds - videoSeconds), frameSeconds / 2 + 1e-6) << fps << " Hz " << s.sampleRateHz;
            ASSERT_LE(plan.AudioFramesIn(r), plan.AudioFramesEncoded());
            ASSERT_GE(plan.AudioFramesIn(r), plan.AudioFramesEncoded() - 1);
        }
    }
}

TEST(LoopPlan, TimesAreExactForFractionalFrameRates) {
    const LoopPlan plan = LoopPlan::For(WithRates(30000, 1001, 48000));
    EXPECT_EQ(plan.VideoFrameTime90k(1), 3003);
    EXPECT_EQ(plan.VideoFrameTime90k(30000), 90090000); // 1001 s
    EXPECT_EQ(plan.VideoFrameTime100ns(30000), 10'010'000'000);
    // Months of frames without overflow.
    EXPECT_EQ(plan.VideoFrameTime100ns(300'000'000), 100'100'000'000'000);
    EXPECT_EQ(plan.AudioFrameTime90k(75), 144000); // 75 frames of 1024 samples = 1.6 s
}

TEST(LoopPlan, MarkerFramesAndSamplesCoverTheSameMoment) {
    const LoopPlan plan = LoopPlan::For(WithRates(30, 1, 48000));
    int markedFrames = 0;
    for (int32_t f = 0; f < plan.VideoFrames(); ++f) markedFrames += plan.IsMarkerFrame(f);
    EXPECT_EQ(markedFrames, 6); // 100 to 300 ms
    EXPECT_FALSE(plan.IsMarkerFrame(2));
    EXPECT_TRUE(plan.IsMarkerFrame(3));
    EXPECT_FALSE(plan.IsMarkerSample(4799));
    EXPECT_TRUE(plan.IsMarkerSample(4800));
    EXPECT_FALSE(plan.IsMarkerSample(14400));
}

TEST(EncoderSettings, OutOfRangeSettingsAreNamed) {
    EXPECT_TRUE(ValidateSettings(EncoderSettings{}).ok());
    struct Case {
        void (*change)(EncoderSettings&);
        const char* field;
    } cases[] = {
        {[](EncoderSettings& s) { s.width = 1921; }, "width"},
        {[](EncoderSettings& s) { s.height = 32; }, "height"},
        {[](EncoderSettings& s) { s.frameRate = {0, 1}; }, "frame rate"},
        {[](EncoderSettings& s) { s.frameRate = {121, 1}; }, "frame rate"},
        {[](EncoderSettings& s) { s.bitrateKbps = 50; }, "bit rate"},
        {[](EncoderSettings& s) { s.sampleRateHz = 32000; }, "sample rate"},
        {[](EncoderSettings& s) { s.volume = 16; }, "volume"},
    };
    for (const Case& c : cases) {
        EncoderSettings s;
        c.change(s);
        const Status status = ValidateSettings(s);
        EXPECT_EQ(status.code, E_INVALIDARG) << c.field;
        EXPECT_NE(status.message.find(c.field), std::string::npos) << status.message;
    }
}

} // namespace
