// The parser on program streams made by the test muxer.
#include "demux_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace demuxtest;

Bytes MakePs(const std::vector<Unit>& video, const std::vector<Unit>& audio, const PsOptions& options) {
    PsMuxer mux(options);
    for (size_t i = 0; i < std::max(video.size(), audio.size()); i++) {
        if (i < video.size()) mux.AddVideo(video[i].payload, video[i].pts);
        if (i < audio.size()) mux.AddAudio(audio[i].payload, audio[i].pts);
    }
    return mux.Finish();
}

PsOptions SplitUnits() {
    PsOptions options;
    options.cbMaxPesPayload = 300;
    options.nPesPerPack = 3;
    options.cbPackStuffing = 3;
    return options;
}

// Pack headers, PES headers and units split across samples anywhere, records begun in one
// sample and continued in the next: the records do not depend on where samples end.
TEST(ProgramStream, AnySampleSizeGivesTheSameRecords) {
    auto video = VideoUnits(12);
    auto audio = AudioUnits(9);
    Bytes ps = MakePs(video, audio, SplitUnits());
    for (size_t cbChunk : {ps.size(), size_t{1}, size_t{5}, size_t{9}, size_t{100}, size_t{2048}}) {
        DemuxHarness h;
        EXPECT_EQ(h.Feed(ps, cbChunk), S_OK) << cbChunk;
        EXPECT_EQ(h.m_pParser->GetInputFormat(), static_cast<DWORD>(INPUT_PS));
        h.Finish();
        ExpectVideo(h, video);
        ExpectAudio(h, audio);
    }
}

// A sample larger than the input buffer's free room arrives while the bytes of a split pack
// header are held: it is taken in pieces, each parsed before the next is copied in.
TEST(ProgramStream, ASampleLargerThanTheFreeInputBufferIsTakenInPiecesWhileBytesAreHeld) {
    auto video = VideoUnits(40, 60000);
    auto audio = AudioUnits(30);
    Bytes ps = MakePs(video, audio, PsOptions{});
    ASSERT_GT(ps.size(), size_t{CPsTsParser::INPUT_BUFFER_SIZE} + 4096);
    DemuxHarness h;
    EXPECT_EQ(h.FeedOne(Bytes(ps.begin(), ps.begin() + 9)), S_OK) << "half a pack header is held";
    EXPECT_EQ(h.FeedOne(Bytes(ps.begin() + 9, ps.end())), S_OK);
    h.Finish();
    EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 0u);
    ExpectVideo(h, video);
    ExpectAudio(h, audio);
}

TEST(ProgramStream, ATenThousandBytePesOverThreeSamplesFillsOneRecord) {
    std::vector<Unit> video = {{H264AccessUnit(true, 10000, 0x21), 90000}};
    PsOptions options;
    options.cbMaxPesPayload = 20000;
    Bytes ps = MakePs(video, {}, options);
    DemuxHarness h;
    size_t cbThird = ps.size() / 3;
    EXPECT_EQ(h.FeedOne(Bytes(ps.begin(), ps.begin() + static_cast<long>(cbThird))), S_OK);
    EXPECT_EQ(h.FeedOne(Bytes(ps.begin() + static_cast<long>(cbThird),
                              ps.begin() + static_cast<long>(2 * cbThird))),
              S_OK);
    EXPECT_EQ(h.FeedOne(Bytes(ps.begin() + static_cast<long>(2 * cbThird), ps.end())), S_OK);
    h.Finish();
    ExpectVideo(h, video);
}

TEST(ProgramStream, TimeComesFromDtsWhenPresent) {
    PsMuxer mux(PsOptions{});
    Bytes au = H264AccessUnit(true, 500, 0x31);
    mux.AddVideo(au, 93000, 90000);
    mux.AddVideo(au, 96000);
    DemuxHarness h;
    h.Feed(mux.Finish());
    h.Finish();
    ASSERT_EQ(h.m_Video.size(), 2u);
    EXPECT_EQ(h.m_Video[0].rtStart, ToRefTime(90000));
    EXPECT_EQ(h.m_Video[1].rtStart, ToRefTime(96000));
}

TEST(ProgramStream, OtherStreamsAndTheEndCodeArePassedOver) {
    auto video = VideoUnits(6);
    auto audio = AudioUnits(6);
    PsOptions options = SplitUnits();
    options.bOtherStreams = true;
    Bytes ps = MakePs(video, audio, options);
    // A private stream packet long enough to span samples, and an end code mid-stream.
    PesHeader priv;
    priv.nStreamId = 0xBD;
    Bytes tail = Concat({PackHeader(0, 0), Pes(priv, Bytes(30000, 0x00)), Bytes{0, 0, 1, 0xB9}});
    ps.insert(ps.end() - 4, tail.begin(), tail.end());
    for (size_t cbChunk : {size_t{7}, size_t{4096}}) {
        DemuxHarness h;
        EXPECT_EQ(h.Feed(ps, cbChunk), S_OK) << cbChunk;
        h.Finish();
        ExpectVideo(h, video);
        ExpectAudio(h, audio);
        EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 0u);
    }
}

// A packet that carries a time begins a record without the alignment bit; one that carries
// neither continues its own stream's record, also with the other stream in between.
TEST(ProgramStream, TimeBeginsARecordAndContinuationsStayWithTheirStream) {
    auto video = VideoUnits(5, 1200);
    auto audio = AudioUnits(5);
    PsOptions options = SplitUnits();
    options.bAligned = false;
    Bytes ps = MakePs(video, audio, options);
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ps, 1000), S_OK);
    h.Finish();
    ExpectVideo(h, video);
    ExpectAudio(h, audio);

    // Video split in three packets, audio in two, interleaved packet by packet.
    Bytes v = H264AccessUnit(true, 900, 0x41);
    Bytes a = Concat({AdtsFrame(200, 0x51), AdtsFrame(200, 0x52)});
    PesHeader vFirst{0xE0, 2, 9000, 0, false};
    PesHeader vNext{0xE0, 0, 0, 0, false};
    PesHeader aFirst{0xC0, 2, 9000, 0, false};
    PesHeader aNext{0xC0, 0, 0, 0, false};
    auto slice = [](const Bytes& b, size_t from, size_t to) {
        return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
    };
    Bytes interleaved = Concat({PackHeader(0, 0), Pes(vFirst, slice(v, 0, 300)),
                                Pes(aFirst, slice(a, 0, 214)), Pes(vNext, slice(v, 300, 600)),
                                Pes(aNext, slice(a, 214, a.size())), Pes(vNext, slice(v, 600, v.size()))});
    DemuxHarness h2;
    EXPECT_EQ(h2.Feed(interleaved), S_OK);
    h2.Finish();
    ExpectVideo(h2, {{v, 9000}});
    ExpectAudio(h2, {{a, 9000}});
}

TEST(ProgramStream, AContinuationWithNoOpenRecordIsDropped) {
    Bytes lost(100, 0x61);
    auto video = VideoUnits(1);
    Bytes ps = Concat(
        {PackHeader(0, 0), Pes(PesHeader{0xE0, 0, 0, 0, false}, lost), MakePs(video, {}, PsOptions{})});
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ps), S_OK);
    h.Finish();
    ExpectVideo(h, video);
    EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped, lost.size());
}

// Garbage before the first pack header is passed over; a parse error resumes at the next pack
// header, losing what was open and what came before that header.
TEST(ProgramStreamErrors, ResumeAtTheNextPackHeader) {
    auto video = VideoUnits(8);
    auto audio = AudioUnits(8);
    PsOptions options;
    options.nPesPerPack = 2;
    options.bEndCode = false;
    std::vector<Unit> v1(video.begin(), video.begin() + 4), v2(video.begin() + 4, video.end());
    std::vector<Unit> a1(audio.begin(), audio.begin() + 4), a2(audio.begin() + 4, audio.end());
    Bytes part1 = MakePs(v1, a1, options);
    Bytes part2 = MakePs(v2, a2, options);
    std::vector<Unit> audioKept = {audio[0], audio[1], audio[2]};
    audioKept.insert(audioKept.end(), a2.begin(), a2.end());

    struct BadInput {
        Bytes bytes;
        // A start that fails after closing its stream's record keeps that record.
        bool bClosesVideo;
    };
    const BadInput kBadInputs[] = {
        {{0, 0, 1, 0xB3, 0x14, 0x00, 0xF0}, false},                   // a video sequence start code
        {{0x77, 0x66}, false},                                        // bytes that cannot begin a start code
        {{0, 0, 1, 0xE0, 0x00, 0x04, 0x80, 0x80, 0x05, 0x21}, false}, // a header longer than its packet
        {{0, 0, 1, 0xE0, 0x00, 0x08, 0x84, 0x00, 0x00, 0x11, 0x22}, true}, // aligned, without a time
    };
    for (const BadInput& bad : kBadInputs) {
        std::vector<Unit> videoKept(video.begin(), video.begin() + (bad.bClosesVideo ? 4 : 3));
        videoKept.insert(videoKept.end(), v2.begin(), v2.end());
        for (size_t cbChunk : {size_t{3}, size_t{65536}}) {
            DemuxHarness h;
            Bytes garbage = {0x12, 0x00, 0x00, 0x47, 0x00, 0x01};
            EXPECT_EQ(h.Feed(Concat({garbage, part1, bad.bytes, part2}), cbChunk), S_FALSE);
            EXPECT_EQ(h.m_nResets, 1);
            EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 1u);
            h.Finish();
            ExpectVideo(h, videoKept);
            ExpectAudio(h, audioKept);
        }
    }
}

// ---- packets cut anywhere, as program-stream muxers cut them ---------------------------------

// Every access unit becomes one sample, timed by the packet it begins in, wherever the
// packets cut it: inside a start code, between a slice header and its first byte, or with
// several units in one packet.
TEST(UnalignedProgramStream, EveryAccessUnitIsOneSampleWhereverPacketsCutIt) {
    std::vector<Bytes> units = UnitsWithoutDelimiters(13);
    for (size_t cbPayload : {1, 2, 3, 4, 5, 6, 7, 11, 50, 333, 2028}) {
        for (bool bTimeEveryPacket : {false, true}) {
            SCOPED_TRACE(testing::Message() << cbPayload << " " << bTimeEveryPacket);
            std::vector<CutUnit> expected;
            Bytes ps = CutIntoPackets(0xE0, units, cbPayload, bTimeEveryPacket, &expected);
            DemuxHarness h;
            EXPECT_EQ(h.Feed(ps, 5), S_OK);
            h.Finish();
            EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped, 0u);
            ExpectCutUnits(h.m_Video, expected);
        }
    }
}

// Every ADTS frame arrives once and whole; a frame that begins a packet's first unit has its
// time, the others the record's time moved on by whole frames.
TEST(UnalignedProgramStream, EveryAdtsFrameArrivesOnceAndWhole) {
    std::vector<Bytes> frames = VariedAdtsFrames(40);
    for (size_t cbPayload : {1, 5, 6, 7, 8, 64, 300, 2028}) {
        SCOPED_TRACE(cbPayload);
        std::vector<CutUnit> expected;
        Bytes ps = CutIntoPackets(0xC0, frames, cbPayload, false, &expected);
        DemuxHarness h;
        EXPECT_EQ(h.Feed(ps, 7), S_OK);
        h.Finish();
        EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped, 0u);
        ExpectCutFrames(h.m_Audio, expected);
    }
}

// Where the frame boundary is not known (the stream begins mid-frame, or a length is
// damaged), a sync word counts only when the next frame's follows it in the packet, however
// the input samples cut the packet; the bytes before the first trusted frame are dropped,
// and no frame after it is lost or cut.
TEST(UnalignedProgramStream, AudioResynchronisesOnASyncWordThatTheNextFrameConfirms) {
    std::vector<Bytes> frames = VariedAdtsFrames(12);
    // The tail of a frame, holding a sync word with a length that leads nowhere.
    Bytes tail = {0x31, 0xFF, 0xF1, 0x4C, 0x80, 0x05, 0x1F, 0xFC, 0x32, 0x33};
    Bytes damaged = frames[6];
    damaged[4] = 0;
    damaged[5] = 0x1F; // a length of 0: the rest of this frame is not a frame
    Bytes es = Concat({tail, Concat(std::vector<Bytes>(frames.begin(), frames.begin() + 6)), damaged,
                       Concat(std::vector<Bytes>(frames.begin() + 7, frames.end()))});
    for (auto [cbPayload, cbChunk] : {std::pair<size_t, size_t>{100, 1}, {100, 4096}, {2028, 3}, {2028, 4096}}) {
        SCOPED_TRACE(testing::Message() << cbPayload << " " << cbChunk);
        std::vector<CutUnit> unused;
        Bytes ps = CutIntoPackets(0xC0, {es}, cbPayload, true, &unused);
        DemuxHarness h;
        EXPECT_EQ(h.Feed(ps, cbChunk), S_OK);
        h.Finish();
        std::vector<Bytes> delivered;
        for (const Delivered& d : h.m_Audio)
            delivered.push_back(d.data);
        std::vector<Bytes> expected;
        for (size_t i = 0; i < frames.size(); i++) {
            if (i != 6) expected.emplace_back(frames[i].begin() + 7, frames[i].end());
        }
        EXPECT_EQ(delivered, expected);
        EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped, tail.size() + damaged.size());
    }
}

} // namespace
