// Every way a stream can end finishes the graph: the workers send end of stream whatever the
// last records held, in every run. Each ending runs many times through one graph (stop, then
// run again from the file's start), with the input cut into samples of varied sizes, so that a
// race that loses a wake-up once in a while shows. YRA_STREAM_END_RUNS sets the number of runs
// (the label "stress" runs the long version).
#include "filter_test_util.h"

#include "demux/demuxfilter.h"

#include <cstdlib>
#include <functional>

namespace {

using namespace demuxtest;

int Runs() {
    const char* psz = std::getenv("YRA_STREAM_END_RUNS");
    int n = psz ? std::atoi(psz) : 0;
    return n > 0 ? n : 300;
}

// A PES of the audio stream (PID 0x45) holding these bytes, in transport packets.
Bytes AudioPesPackets(const Bytes& payload, int64_t pts) {
    PesHeader header;
    header.nStreamId = 0xC0;
    header.pts = pts;
    uint8_t nCounter = 0;
    return Concat(TsPackets(0x45, Pes(header, payload), nCounter));
}

// Program tables only: a program association and a program map section, repeated.
Bytes TablesOnly() {
    const Bytes pat = {0x00, 0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00,
                       0x00, 0x01, 0xF0, 0x00, 0,    0,    0,    0};
    const Bytes pmt = {0x00, 0x02, 0xB0, 0x12, 0x00, 0x01, 0xC1, 0x00, 0x00,
                       0xE0, 0x44, 0xF0, 0x00, 0,    0,    0,    0};
    std::vector<Bytes> packets;
    uint8_t nPat = 0, nPmt = 0;
    for (int i = 0; i < 8; i++) {
        packets.push_back(TsPacket(0x0000, true, pat.data(), pat.size(), nPat));
        packets.push_back(TsPacket(0x1000, true, pmt.data(), pmt.size(), nPmt));
    }
    return Concat(packets);
}

struct StreamEnd {
    const char* pszName;
    std::function<Bytes()> make;
    size_t cVideo;
    size_t cAudio;
};

// 12 video units and 8 audio units of three frames each, then the ending under test.
const std::vector<Unit>& Video() {
    static const std::vector<Unit> units = VideoUnits(12, 600);
    return units;
}
const std::vector<Unit>& Audio() {
    static const std::vector<Unit> units = AudioUnits(8);
    return units;
}
const int64_t kLastPts = 126000 + 5760 * 8;

const StreamEnd kEndings[] = {
    {"LastAudioRecordEmpty",
     [] { return Concat({TransportStreamOf(Video(), Audio()), AudioPesPackets({}, kLastPts)}); }, 12, 24},
    {"LastAudioRecordGarbage",
     [] { return Concat({TransportStreamOf(Video(), Audio()), AudioPesPackets(Bytes(50, 0), kLastPts)}); },
     12, 24},
    {"LastAudioFrameCut",
     [] {
         Bytes frames = Concat({AdtsFrame(300, 0x31), AdtsFrame(300, 0x32)});
         frames.resize(frames.size() - 120);
         return Concat({TransportStreamOf(Video(), Audio()), AudioPesPackets(frames, kLastPts)});
     },
     12, 25},
    {"LastVideoRecordCutMidPacket",
     [] {
         Bytes tail = TransportStreamOf({{H264AccessUnit(false, 1500, 0x77), 126000 + 3000 * 12}}, {});
         tail.resize(tail.size() - 100);
         return Concat({TransportStreamOf(Video(), Audio()), tail});
     },
     13, 24},
    {"NoAudio", [] { return TransportStreamOf(Video(), {}); }, 12, 0},
    {"NoVideo", [] { return TransportStreamOf({}, Audio()); }, 0, 24},
    {"OnlyProgramTables", [] { return TablesOnly(); }, 0, 0},
    {"ProgramStreamLastAudioGarbage",
     [] {
         PsMuxer mux(PsOptions{});
         for (const Unit& u : Video())
             mux.AddVideo(u.payload, u.pts);
         for (const Unit& u : Audio())
             mux.AddAudio(u.payload, u.pts);
         mux.AddAudio(Bytes(50, 0), kLastPts);
         return mux.Finish();
     },
     12, 24},
};

class DemuxStreamEnd : public DemuxGraphTest, public testing::WithParamInterface<StreamEnd> {};

TEST_P(DemuxStreamEnd, CompletesInEveryRun) {
    const StreamEnd& end = GetParam();
    Bytes stream = end.make();
    // A sample size that does not divide the stream, so the last sample is a short one.
    AddSource(stream, 1000);
    ASSERT_FALSE(HasFatalFailure());
    AddSinks();
    const int nRuns = Runs();
    for (int i = 0; i < nRuns; i++) {
        size_t cVideo = videoSink->SampleCount();
        size_t cAudio = audioSink->SampleCount();
        ASSERT_EQ(RunToCompletion(10000), EC_COMPLETE) << "run " << i << " did not complete";
        EXPECT_EQ(videoSink->SampleCount() - cVideo, end.cVideo) << "run " << i;
        EXPECT_EQ(audioSink->SampleCount() - cAudio, end.cAudio) << "run " << i;
        ASSERT_EQ(control->Stop(), S_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, DemuxStreamEnd, testing::ValuesIn(kEndings),
                         [](const testing::TestParamInfo<StreamEnd>& info) { return info.param.pszName; });

// Nothing at all arrives before the end of stream: both pins still end theirs.
TEST_F(DemuxGraphTest, AnEmptyInputCompletesInEveryRun) {
    CDeviceStandIn* upstream = CDeviceStandIn::Create(std::make_shared<host::DeviceModel>());
    Add(upstream, u"Upstream");
    Connect(upstream->GetPin(0), input);
    AddSinks();
    const int nRuns = Runs();
    for (int i = 0; i < nRuns; i++) {
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_EQ(input->EndOfStream(), S_OK);
        LONG code = 0;
        ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK) << "run " << i << " did not complete";
        EXPECT_EQ(code, EC_COMPLETE);
        ASSERT_EQ(control->Stop(), S_OK);
    }
    EXPECT_EQ(videoSink->SampleCount(), 0u);
    EXPECT_EQ(audioSink->SampleCount(), 0u);
}

} // namespace
