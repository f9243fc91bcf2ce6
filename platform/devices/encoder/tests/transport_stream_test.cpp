// The stream the virtual device sends, read back by libavformat, by ffmpeg and by a plain walk over
// its packets: what the demultiplexer and a player rely on, over several repetitions of the loop.
#include "platform/devices/encoder/loop_cache.h"
#include "platform/devices/encoder/loop_files.h"
#include "platform/devices/encoder/transport_streamer.h"
#include "stream_inspection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>

using namespace host::encoder;
using namespace encoder_test;

namespace {

EncoderSettings Small() {
    EncoderSettings s;
    s.width = 320;
    s.height = 240;
    s.frameRate = {30, 1};
    s.bitrateKbps = 800;
    s.deviceName = "Encoder test";
    return s;
}

std::unique_ptr<TransportStreamer> StreamerFor(const EncoderSettings& settings, StreamerOptions options = {}) {
    auto streamer = TransportStreamer::Create(settings, nullptr, options);
    EXPECT_TRUE(streamer.ok()) << streamer.status().message;
    return streamer.ok() ? std::move(streamer.value()) : nullptr;
}

// Differences between successive time stamps, each expected to be `low` or `high`.
void ExpectSteps(const std::vector<int64_t>& pts, int64_t low, int64_t high, const char* what) {
    for (size_t i = 1; i < pts.size(); ++i) {
        const int64_t step = pts[i] - pts[i - 1];
        ASSERT_TRUE(step == low || step == high) << what << " step " << step << " at packet " << i;
    }
}

TEST(TransportStream, RepeatedLoopPlaysAsOneContinuousProgram) {
    const EncoderSettings settings = Small();
    auto streamer = StreamerFor(settings);
    ASSERT_TRUE(streamer);
    const int loopFrames = streamer->Loop().plan.VideoFrames();
    const int frames = loopFrames * 3 + loopFrames / 4;
    const std::vector<uint8_t> bytes = Collect(*streamer, frames);

    const Probe probe = ProbeWithLibav(bytes);
    ASSERT_EQ(probe.error, "");
    ASSERT_EQ(probe.streams.size(), 2u);
    const ProbedStream* video = probe.Find("h264");
    const ProbedStream* audio = probe.Find("aac");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->pid, 0x44);
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(video->height, 240);
    EXPECT_EQ(video->frameRateNum * 1, video->frameRateDen * 30);
    EXPECT_EQ(audio->pid, 0x45);
    EXPECT_EQ(audio->sampleRate, 48000);
    EXPECT_EQ(audio->profile, "LC");

    // Every frame of every repetition, with no jump where the loop starts again.
    EXPECT_EQ(video->pts.size(), static_cast<size_t>(frames));
    ExpectSteps(video->pts, 3000, 3000, "video");
    ExpectSteps(audio->pts, 1920, 1920, "audio");
    EXPECT_NEAR(static_cast<double>(audio->pts.back() - video->pts.back()), 0.0, 3000.0);

    auto warnings = DecodeWarnings(bytes, "continuous");
    if (warnings) EXPECT_EQ(*warnings, "");
}

TEST(TransportStream, EachFrameIsOnePesWithTimestampAndHeaders) {
    auto streamer = StreamerFor(Small());
    ASSERT_TRUE(streamer);
    const int loopFrames = streamer->Loop().plan.VideoFrames();
    const int frames = loopFrames * 5 / 2;
    const std::vector<uint8_t> bytes = Collect(*streamer, frames);

    const TransportWalk walk = WalkTransportStream(bytes);
    ASSERT_EQ(walk.error, "");
    EXPECT_EQ(walk.continuityErrors, 0);
    EXPECT_FALSE(walk.interleavedPes) << "the demultiplexer cuts PES packets only when they are not interleaved";
    for (const auto& [pid, count] : walk.packets)
        EXPECT_TRUE(pid == 0 || pid == 0x11 || pid == 0x44 || pid == 0x45 || pid == 0x1000) << "PID " << pid;
    EXPECT_GT(walk.packets.at(0), 0);      // PAT
    EXPECT_GT(walk.packets.at(0x1000), 0); // PMT

    int pictures = 0, keyFrames = 0;
    for (const PesPacket& pes : walk.pes) {
        ASSERT_TRUE(pes.pts.has_value());
        if (pes.pid == 0x44) {
            ++pictures;
            const std::vector<int> nals = NalUnitTypes(pes.payload);
            ASSERT_FALSE(nals.empty());
            EXPECT_EQ(nals.front(), 9) << "access unit delimiter first, picture " << pictures;
            const auto idr = std::find(nals.begin(), nals.end(), 5);
            const auto slice = std::find(nals.begin(), nals.end(), 1);
            EXPECT_TRUE((idr == nals.end()) != (slice == nals.end())) << "one picture per PES";
            if (idr != nals.end()) {
                ++keyFrames;
                EXPECT_NE(std::find(nals.begin(), idr, 7), idr) << "SPS before key frame " << pictures;
                EXPECT_NE(std::find(nals.begin(), idr, 8), idr) << "PPS before key frame " << pictures;
            }
        } else {
            // Exactly one ADTS frame, whose header gives the PES payload's length.
            ASSERT_GE(pes.payload.size(), 7u);
            EXPECT_EQ(pes.payload[0], 0xFF);
            EXPECT_EQ(pes.payload[1] & 0xF6, 0xF0);
            const size_t frameLength =
                ((pes.payload[3] & 3u) << 11) | (size_t{pes.payload[4]} << 3) | (pes.payload[5] >> 5);
            EXPECT_EQ(frameLength, pes.payload.size());
        }
    }
    EXPECT_EQ(pictures, frames);
    EXPECT_EQ(keyFrames, 3); // one per repetition
}

TEST(TransportStream, AudioKeepsStepWithVideoWhenFramesDoNotDivideTheLoop) {
    // 44.1 kHz never fills a whole number of AAC frames per loop: repetitions carry one frame more
    // or less, and after a minute of whole repetitions audio and video must still end together.
    EncoderSettings settings = Small();
    settings.sampleRateHz = 44100;
    settings.frameRate = {25, 1};
    auto streamer = StreamerFor(settings);
    ASSERT_TRUE(streamer);
    const int loopFrames = streamer->Loop().plan.VideoFrames();
    const int frames = (1500 + loopFrames - 1) / loopFrames * loopFrames;
    const std::vector<uint8_t> bytes = Collect(*streamer, frames);

    const Probe probe = ProbeWithLibav(bytes);
    ASSERT_EQ(probe.error, "");
    const ProbedStream* video = probe.Find("h264");
    const ProbedStream* audio = probe.Find("aac");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_EQ(video->pts.size(), static_cast<size_t>(frames));
    ExpectSteps(video->pts, 3600, 3600, "video");
    ExpectSteps(audio->pts, 2089, 2090, "audio"); // 1024 samples at 44.1 kHz in 90 kHz units
    const int64_t videoEnd = video->pts.back() + 3600, audioEnd = audio->pts.back() + 2090;
    EXPECT_LE(std::abs(audioEnd - videoEnd), 2090 / 2 + 1);
    EXPECT_EQ(WalkTransportStream(bytes).continuityErrors, 0);
}

TEST(TransportStream, WithoutAudioThereIsNoAudioStream) {
    EncoderSettings settings = Small();
    settings.audioEnabled = false;
    auto streamer = StreamerFor(settings);
    ASSERT_TRUE(streamer);
    const std::vector<uint8_t> bytes = Collect(*streamer, 75);

    const Probe probe = ProbeWithLibav(bytes);
    ASSERT_EQ(probe.error, "");
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "h264");
    ExpectSteps(probe.streams[0].pts, 3000, 3000, "video");
    EXPECT_EQ(WalkTransportStream(bytes).packets.count(0x45), 0u);
}

TEST(TransportStream, SettingsShapeTheStream) {
    EncoderSettings settings = Small();
    settings.width = 352;
    settings.height = 288;
    settings.frameRate = {30000, 1001};
    settings.bitrateKbps = 2000;
    auto streamer = StreamerFor(settings);
    ASSERT_TRUE(streamer);
    const std::vector<uint8_t> bytes = Collect(*streamer, 120); // 4.004 s

    const Probe probe = ProbeWithLibav(bytes);
    ASSERT_EQ(probe.error, "");
    const ProbedStream* video = probe.Find("h264");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->width, 352);
    EXPECT_EQ(video->height, 288);
    EXPECT_EQ(int64_t{video->frameRateNum} * 1001, int64_t{video->frameRateDen} * 30000);
    ExpectSteps(video->pts, 3003, 3003, "video");
    // Constant bit rate: the video's share of the stream is what was asked for.
    const double kbps = static_cast<double>(bytes.size()) * 8 / 4.004 / 1000;
    EXPECT_GT(kbps, 2000 * 0.95);
    EXPECT_LT(kbps, 2000 * 1.25); // transport, PES and audio on top

    // The picture shows the device's name, so another name is another loop.
    EncoderSettings renamed = settings;
    renamed.deviceName = "Another device";
    auto other = StreamerFor(renamed);
    ASSERT_TRUE(other);
    EXPECT_NE(&other->Loop(), &streamer->Loop());
    EXPECT_NE(other->Loop().bytes, streamer->Loop().bytes);
}

TEST(TransportStream, ChunksAreWholePacketsStampedWithTheirFrameTime) {
    const EncoderSettings settings = Small();
    auto whole = StreamerFor(settings);
    ASSERT_TRUE(whole);
    const int loopFrames = whole->Loop().plan.VideoFrames();
    for (int frame = 0; frame < 2 * loopFrames + 3; ++frame) {
        const StreamChunk chunk = whole->Next();
        ASSERT_GT(chunk.size, 0u);
        EXPECT_EQ(chunk.size % 188, 0u);
        EXPECT_LE(chunk.size, whole->MaxChunkBytes());
        EXPECT_EQ(chunk.startTime, int64_t{frame} * 10'000'000 / 30);
        EXPECT_EQ(chunk.stopTime, int64_t{frame + 1} * 10'000'000 / 30);
        EXPECT_EQ(chunk.keyFrame, frame % loopFrames == 0) << "frame " << frame;
    }

    // Split chunks carry the same bytes in pieces of at most the limit, and the frame's times.
    auto split = StreamerFor(settings, {1000});
    auto reference = StreamerFor(settings);
    ASSERT_TRUE(split && reference);
    EXPECT_EQ(split->MaxChunkBytes(), 5u * 188);
    std::vector<uint8_t> pieces, frames;
    REFERENCE_TIME last = 0;
    while (frames.size() < 200'000) {
        const StreamChunk frame = reference->Next();
        frames.insert(frames.end(), frame.data, frame.data + frame.size);
    }
    while (pieces.size() < frames.size()) {
        const StreamChunk piece = split->Next();
        ASSERT_LE(piece.size, 5u * 188);
        ASSERT_GE(piece.startTime, last);
        last = piece.startTime;
        pieces.insert(pieces.end(), piece.data, piece.data + piece.size);
    }
    pieces.resize(frames.size());
    EXPECT_EQ(pieces, frames);
}

TEST(TransportStream, DevicesWithTheSameSettingsShareOneEncode) {
    EncoderSettings settings = Small();
    settings.deviceName = "Shared loop";
    std::filesystem::remove_all(LoopFolder()); // a loop an earlier run kept would need no encode
    const size_t before = LoopCache::Shared().EncodeCount();
    auto first = StreamerFor(settings);
    auto second = StreamerFor(settings);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(&first->Loop(), &second->Loop());
    EXPECT_EQ(LoopCache::Shared().EncodeCount(), before + 1);

    // Each streamer keeps its own place and counters.
    first->Next();
    const StreamChunk a = first->Next();
    const StreamChunk b = second->Next();
    EXPECT_EQ(a.startTime, 10'000'000 / 30);
    EXPECT_EQ(b.startTime, 0);
}

TEST(TransportStream, InvalidSettingsAreRefusedWithTheirName) {
    EncoderSettings settings = Small();
    settings.width = 321;
    auto streamer = TransportStreamer::Create(settings);
    ASSERT_FALSE(streamer.ok());
    EXPECT_EQ(streamer.status().code, E_INVALIDARG);
    EXPECT_NE(streamer.status().message.find("width"), std::string::npos);
}

TEST(TransportStream, FullHdLoopEncodesInAFewSeconds) {
    EncoderSettings settings;
    settings.width = 1920;
    settings.height = 1080;
    settings.frameRate = {30, 1};
    settings.bitrateKbps = 30000;
    settings.deviceName = "Full HD test";
    const auto started = std::chrono::steady_clock::now();
    auto streamer = StreamerFor(settings);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(streamer);
    EXPECT_LT(seconds, 10.0);
    RecordProperty("encode_seconds", std::to_string(seconds));

    const Probe probe = ProbeWithLibav(Collect(*streamer, 45));
    ASSERT_EQ(probe.error, "");
    const ProbedStream* video = probe.Find("h264");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->width, 1920);
    EXPECT_EQ(video->height, 1080);
}

} // namespace
