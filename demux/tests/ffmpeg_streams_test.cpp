// Real streams: transport streams made by ffmpeg, demultiplexed by the parser and by ffmpeg
// itself, and the same elementary streams wrapped into a program stream by the test muxer.
#include "demux_test_util.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

using namespace demuxtest;

const MediaRecipe kPlain = {"plain48k_v1", 48000, 0, 1};
const MediaRecipe kBFrames = {"bframes44k_v1", 44100, 2, 1};

std::vector<Bytes> AudioPayloads(const Bytes& adts) {
    std::vector<Bytes> payloads;
    for (const Bytes& frame : SplitAdtsFrames(adts))
        payloads.emplace_back(frame.begin() + 7, frame.end());
    return payloads;
}

std::vector<Bytes> DataOf(const std::vector<Delivered>& samples) {
    std::vector<Bytes> data;
    for (const Delivered& d : samples)
        data.push_back(d.data);
    return data;
}

// Records as ffmpeg cuts them, each timed as the parser must time it.
void ExpectMatchesFfmpeg(const DemuxHarness& h, const Media& m) {
    ASSERT_EQ(h.m_Video.size(), m.videoDts.size());
    EXPECT_EQ(Concat(DataOf(h.m_Video)), m.videoEs);
    for (size_t i = 0; i < h.m_Video.size(); i++) {
        // PTS only without B-frames, PTS and DTS with them: the time is the DTS either way.
        EXPECT_EQ(h.m_Video[i].rtStart, ToRefTime(m.videoDts[i])) << "video " << i;
        EXPECT_EQ(h.m_Video[i].bSync, m.videoKey[i]) << "video " << i;
        EXPECT_EQ(h.m_Video[i].llMediaStart, static_cast<LONGLONG>(i));
    }
    ASSERT_EQ(h.m_Audio.size(), m.audioPts.size());
    EXPECT_EQ(DataOf(h.m_Audio), AudioPayloads(m.audioEs));
    for (size_t i = 0; i < h.m_Audio.size(); i++) {
        REFERENCE_TIME rtExpected = ToRefTime(m.audioPts[i]);
        if (m.audioPesStart[i]) {
            EXPECT_EQ(h.m_Audio[i].rtStart, rtExpected) << "audio " << i;
        } else {
            // Later frames of a PES are timed by whole frame durations (truncated to 100 ns).
            EXPECT_NEAR(static_cast<double>(h.m_Audio[i].rtStart), static_cast<double>(rtExpected), 2000)
                << i;
        }
        EXPECT_EQ(h.m_Audio[i].llMediaStart, static_cast<LONGLONG>(i) * m.nRate);
    }
}

class FfmpegStreams : public testing::TestWithParam<MediaRecipe> {
protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        m_pMedia = GetMedia(GetParam(), YRA_DEMUX_MEDIA_DIR);
        ASSERT_NE(m_pMedia, nullptr) << "ffmpeg could not make the test stream";
    }

    void Parse(DemuxHarness& h, const Bytes& input, size_t cbChunk, HRESULT hrExpected = S_OK) {
        ASSERT_EQ(h.m_pAudio->SetAudioSampleRate(static_cast<DWORD>(m_pMedia->nRate)), S_OK);
        EXPECT_EQ(h.Feed(input, cbChunk), hrExpected);
        h.Finish();
    }

    const Media* m_pMedia = nullptr;
};

TEST_P(FfmpegStreams, TransportStreamGivesWhatFfmpegDemultiplexes) {
    DemuxHarness h;
    Parse(h, m_pMedia->ts, 65536);
    ExpectMatchesFfmpeg(h, *m_pMedia);
}

TEST_P(FfmpegStreams, SampleSizeDoesNotChangeTheOutput) {
    DemuxHarness reference;
    Parse(reference, m_pMedia->ts, m_pMedia->ts.size());
    for (size_t cbChunk : {1, 100, 188, 4096, 65536}) {
        DemuxHarness h;
        Parse(h, m_pMedia->ts, cbChunk);
        EXPECT_EQ(h.m_Video, reference.m_Video) << cbChunk;
        EXPECT_EQ(h.m_Audio, reference.m_Audio) << cbChunk;
    }
}

// The same packets, video and audio alternating one by one.
TEST_P(FfmpegStreams, InterleavedPacketsGiveTheSameOutput) {
    std::vector<Bytes> video, audio, other;
    for (size_t at = 0; at + 188 <= m_pMedia->ts.size(); at += 188) {
        Bytes packet(m_pMedia->ts.begin() + static_cast<long>(at),
                     m_pMedia->ts.begin() + static_cast<long>(at + 188));
        (packet[2] == 0x44 ? video : packet[2] == 0x45 ? audio : other).push_back(packet);
    }
    Bytes interleaved = Concat(other);
    for (size_t i = 0; i < std::max(video.size(), audio.size()); i++) {
        if (i < video.size()) interleaved.insert(interleaved.end(), video[i].begin(), video[i].end());
        if (i < audio.size()) interleaved.insert(interleaved.end(), audio[i].begin(), audio[i].end());
    }
    DemuxHarness h;
    Parse(h, interleaved, 4096);
    ExpectMatchesFfmpeg(h, *m_pMedia);
}

// One damaged sync byte in the middle: the sample says so, a record or two are lost, and
// everything else still matches.
TEST_P(FfmpegStreams, ADamagedPacketLosesOnlyTheRecordsItTouches) {
    DemuxHarness reference;
    Parse(reference, m_pMedia->ts, 65536);
    Bytes damaged = m_pMedia->ts;
    damaged[(damaged.size() / 188 / 2) * 188] = 0x46;
    DemuxHarness h;
    Parse(h, damaged, 4096, S_FALSE);
    EXPECT_EQ(h.m_nFalseSamples, 1);
    EXPECT_GE(h.m_Video.size() + 2, reference.m_Video.size());
    EXPECT_GE(h.m_Audio.size() + 40, reference.m_Audio.size());
    size_t j = 0;
    for (const Delivered& d : h.m_Video) {
        while (j < reference.m_Video.size() && reference.m_Video[j].rtStart != d.rtStart)
            j++;
        ASSERT_LT(j, reference.m_Video.size()) << "a delivered record that ffmpeg does not have";
        EXPECT_EQ(d.data, reference.m_Video[j].data);
    }
    EXPECT_EQ(h.m_Video.back().data, reference.m_Video.back().data);
    EXPECT_EQ(h.m_Audio.back().data, reference.m_Audio.back().data);
}

// ffmpeg's elementary streams, wrapped by the test muxer into a program stream with units
// split over several packets, no alignment bits and other streams in between.
TEST_P(FfmpegStreams, ProgramStreamOfTheSameStreamsGivesTheSameOutput) {
    std::vector<Bytes> units = SplitAccessUnits(m_pMedia->videoEs);
    ASSERT_EQ(units.size(), m_pMedia->videoDts.size());
    std::vector<Bytes> frames = SplitAdtsFrames(m_pMedia->audioEs);
    ASSERT_EQ(frames.size(), m_pMedia->audioPts.size());
    PsOptions options;
    options.cbMaxPesPayload = 1500;
    options.bAligned = false;
    options.bOtherStreams = true;
    PsMuxer mux(options);
    size_t nFrame = 0;
    for (size_t i = 0; i < units.size(); i++) {
        int64_t dts = m_pMedia->videoDts[i] != m_pMedia->videoPts[i] ? m_pMedia->videoDts[i] : -1;
        mux.AddVideo(units[i], m_pMedia->videoPts[i], dts);
        // Audio up to this video time, five frames to a packet.
        while (nFrame < frames.size() && m_pMedia->audioPts[nFrame] <= m_pMedia->videoDts[i]) {
            size_t nEnd = std::min(frames.size(), nFrame + 5);
            mux.AddAudio(Concat(std::vector<Bytes>(frames.begin() + static_cast<long>(nFrame),
                                                   frames.begin() + static_cast<long>(nEnd))),
                         m_pMedia->audioPts[nFrame]);
            nFrame = nEnd;
        }
    }
    ASSERT_GT(nFrame, 0u);
    Bytes ps = mux.Finish();
    for (size_t cbChunk : {size_t{1000}, size_t{65536}}) {
        DemuxHarness h;
        Parse(h, ps, cbChunk);
        EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 0u);
        ASSERT_EQ(h.m_Video.size(), units.size());
        EXPECT_EQ(Concat(DataOf(h.m_Video)), m_pMedia->videoEs);
        for (size_t i = 0; i < units.size(); i++)
            EXPECT_EQ(h.m_Video[i].rtStart, ToRefTime(m_pMedia->videoDts[i]));
        std::vector<Bytes> expected = AudioPayloads(m_pMedia->audioEs);
        expected.resize(nFrame);
        EXPECT_EQ(DataOf(h.m_Audio), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, FfmpegStreams, testing::Values(kPlain, kBFrames),
                         [](const testing::TestParamInfo<MediaRecipe>& info) {
                             return std::string(info.param.nBFrames ? "BFrames44k" : "Plain48k");
                         });

} // namespace
