// The parser on transport streams built packet by packet.
#include "demux_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

using namespace demuxtest;

constexpr uint16_t kVideoPid = 0x44;
constexpr uint16_t kAudioPid = 0x45;

Bytes PesOf(uint8_t nStreamId, const Unit& unit) {
    PesHeader header;
    header.nStreamId = nStreamId;
    header.pts = unit.pts;
    return Pes(header, unit.payload);
}

// Both streams, one whole PES after the other, alternating, as a muxer writes them.
Bytes Multiplex(const std::vector<Unit>& video, const std::vector<Unit>& audio) {
    Bytes ts;
    uint8_t ccV = 0, ccA = 0;
    for (size_t i = 0; i < std::max(video.size(), audio.size()); i++) {
        if (i < video.size()) ts = Concat({ts, Concat(TsPackets(kVideoPid, PesOf(0xE0, video[i]), ccV))});
        if (i < audio.size()) ts = Concat({ts, Concat(TsPackets(kAudioPid, PesOf(0xC0, audio[i]), ccA))});
    }
    return ts;
}

TEST(TransportStream, CutsEachPesIntoARecordWithItsTime) {
    auto video = VideoUnits(8);
    auto audio = AudioUnits(5);
    DemuxHarness h;
    EXPECT_EQ(h.Feed(Multiplex(video, audio)), S_OK);
    EXPECT_EQ(h.m_pParser->GetInputFormat(), static_cast<DWORD>(INPUT_TS));
    // The last record of each stream waits for a next start or the end of the stream.
    EXPECT_EQ(h.m_Video.size(), video.size() - 1);
    h.Finish();
    ExpectVideo(h, video);
    ExpectAudio(h, audio);
    EXPECT_EQ(h.m_Audio[0].rtStart, ToRefTime(audio[0].pts));
    EXPECT_EQ(h.m_nResets, 0);
}

TEST(TransportStream, TimeComesFromDtsWhenPresentAndCoversAll33Bits) {
    EXPECT_EQ(CPsTsParser::ConvertTimeStamp(Bytes{0x21, 0x00, 0x05, 0xBF, 0x21}.data()), 10000000);
    Bytes maxField(5);
    PutTimeStamp(maxField.data(), 2, (int64_t{1} << 33) - 1);
    EXPECT_EQ(CPsTsParser::ConvertTimeStamp(maxField.data()), 954437176777);

    PesHeader both;
    both.nTimeFlags = 3;
    both.pts = 900000;
    both.dts = 897000;
    Bytes payload = H264AccessUnit(true, 300, 0x44);
    uint8_t cc = 0;
    Bytes ts = Concat(TsPackets(kVideoPid, Pes(both, payload), cc));
    DemuxHarness h;
    h.Feed(ts);
    h.Finish();
    ASSERT_EQ(h.m_Video.size(), 1u);
    EXPECT_EQ(h.m_Video[0].rtStart, ToRefTime(897000));
}

TEST(TransportStream, SelectsStreamsByTheLowEightBitsOfThePid) {
    Bytes v = H264AccessUnit(true, 100, 0x11);
    Bytes a = AdtsFrame(50, 0x22);
    Bytes other = H264AccessUnit(true, 100, 0x33);
    PesHeader header;
    uint8_t cc = 0;
    Bytes ts = Concat({TsPacket(0x1044, true, Pes(header, v).data(), Pes(header, v).size(), cc),
                       TsPacket(0x0000, true, Pes(header, other).data(), Pes(header, other).size(), cc),
                       TsPacket(0x1011, true, Pes(header, other).data(), Pes(header, other).size(), cc),
                       TsPacket(0x0045, true, Pes(header, a).data(), Pes(header, a).size(), cc)});
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts), S_OK);
    h.Finish();
    ASSERT_EQ(h.m_Video.size(), 1u);
    EXPECT_EQ(h.m_Video[0].data, v);
    ASSERT_EQ(h.m_Audio.size(), 1u);
    EXPECT_EQ(h.m_Audio[0].data, Bytes(a.begin() + 7, a.end()));
}

// Packets of the two streams interleaved inside their PES packets: each continuation lands
// in its own stream's record.
TEST(TransportStream, InterleavedPacketsContinueTheirOwnStreamsRecord) {
    auto video = VideoUnits(4, 1500);
    auto audio = AudioUnits(4);
    uint8_t ccV = 0, ccA = 0;
    std::vector<Bytes> vPackets, aPackets;
    for (const Unit& u : video) {
        for (Bytes& p : TsPackets(kVideoPid, PesOf(0xE0, u), ccV))
            vPackets.push_back(std::move(p));
    }
    for (const Unit& u : audio) {
        for (Bytes& p : TsPackets(kAudioPid, PesOf(0xC0, u), ccA))
            aPackets.push_back(std::move(p));
    }
    Bytes ts;
    for (size_t i = 0; i < std::max(vPackets.size(), aPackets.size()); i++) {
        if (i < vPackets.size()) ts.insert(ts.end(), vPackets[i].begin(), vPackets[i].end());
        if (i < aPackets.size()) ts.insert(ts.end(), aPackets[i].begin(), aPackets[i].end());
    }
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts), S_OK);
    h.Finish();
    ExpectVideo(h, video);
    ExpectAudio(h, audio);
}

// Sample sizes that never add up to whole packets, and a sample larger than the input
// buffer, give the same records as one sample per packet.
TEST(TransportStream, AnySampleSizeGivesTheSameRecords) {
    auto video = VideoUnits(40, 60000);
    auto audio = AudioUnits(30);
    Bytes ts = Multiplex(video, audio);
    ASSERT_GT(ts.size(), size_t{CPsTsParser::INPUT_BUFFER_SIZE});
    for (size_t cbChunk : {ts.size(), size_t{100}, size_t{187}, size_t{188}, size_t{1000003}}) {
        DemuxHarness h;
        EXPECT_EQ(h.Feed(ts, cbChunk), S_OK) << cbChunk;
        h.Finish();
        ExpectVideo(h, video);
        ExpectAudio(h, audio);
    }
}

TEST(TransportStream, PrerollBytesWaitForTheNextSample) {
    auto video = VideoUnits(2);
    Bytes ts = Multiplex(video, {});
    DemuxHarness h;
    EXPECT_EQ(h.m_pParser->ProcessInput(ts.data(), 188 * 10, TRUE), S_OK);
    EXPECT_EQ(h.m_pParser->GetInputFormat(), static_cast<DWORD>(INPUT_UNKNOWN))
        << "preroll bytes are only held";
    FakeSample sample(ts.size());
    std::copy(ts.begin() + 1880, ts.end(), sample.m_Buffer.begin());
    sample.lActual = static_cast<LONG>(ts.size() - 1880);
    EXPECT_EQ(h.m_pParser->ProcessSample(&sample), S_OK);
    h.Finish();
    ExpectVideo(h, video);

    FakeSample broken(10);
    broken.hrPointer = E_UNEXPECTED;
    EXPECT_EQ(h.m_pParser->ProcessSample(&broken), E_UNEXPECTED);
    EXPECT_EQ(h.m_pParser->ProcessSample(nullptr), E_POINTER);
    EXPECT_EQ(h.m_pParser->ProcessInput(nullptr, 10, FALSE), E_POINTER);
    EXPECT_EQ(h.m_pParser->ProcessInput(ts.data(), -1, FALSE), E_INVALIDARG);
}

// A lost sync byte costs the records that were open and the bytes up to the next pair of
// packets; the sample reports the error and everything after is parsed.
TEST(TransportStreamErrors, ALostSyncByteIsSkippedToTheNextPacket) {
    auto video = VideoUnits(10, 500);
    Bytes ts = Multiplex(video, {});
    size_t cbUnit4End = 0;
    {
        uint8_t cc = 0;
        for (int i = 0; i < 5; i++)
            cbUnit4End += Concat(TsPackets(kVideoPid, PesOf(0xE0, video[i]), cc)).size();
    }
    // The second packet of unit 5.
    ts[cbUnit4End + 188] = 0x00;
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts, 188), S_FALSE);
    EXPECT_EQ(h.m_nFalseSamples, 1);
    EXPECT_EQ(h.m_nResets, 1);
    h.Finish();
    // Units 0-4 were closed before the error; unit 5 was open and is lost; 6-9 are whole.
    ASSERT_EQ(h.m_Video.size(), 9u);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(h.m_Video[static_cast<size_t>(i)].data, video[static_cast<size_t>(i)].payload);
    for (int i = 6; i < 10; i++) {
        EXPECT_EQ(h.m_Video[static_cast<size_t>(i - 1)].data, video[static_cast<size_t>(i)].payload);
        EXPECT_EQ(h.m_Video[static_cast<size_t>(i - 1)].rtStart,
                  ToRefTime(video[static_cast<size_t>(i)].pts));
    }
    // Video media times restart with the reset.
    EXPECT_EQ(h.m_Video[5].llMediaStart, 0);
}

TEST(TransportStreamErrors, InputThatBeginsMidPacketIsSkippedToAPlausibleSync) {
    auto video = VideoUnits(4);
    auto audio = AudioUnits(3);
    Bytes ts = Multiplex(video, audio);
    // Garbage with sync bytes that are not followed by another 188 bytes on, then the tail
    // of a packet.
    std::mt19937 rng(7);
    Bytes garbage(700);
    for (auto& b : garbage)
        b = static_cast<uint8_t>(rng() % 0x40 + 0x01);
    garbage[0] = 0x12;
    garbage[100] = 0x47;
    garbage[400] = 0x47;
    Bytes input = Concat({garbage, Bytes(ts.begin() + 188 * 3 + 50, ts.begin() + 188 * 4), ts});
    for (size_t cbChunk : {size_t{1}, size_t{100}, size_t{65536}}) {
        DemuxHarness h;
        EXPECT_EQ(h.Feed(input, cbChunk), S_OK) << "skipping at detection is not an error";
        h.Finish();
        ExpectVideo(h, video);
        ExpectAudio(h, audio);
        EXPECT_EQ(h.m_pParser->GetStats().cbSkipped, garbage.size() + 138) << cbChunk;
    }
}

TEST(TransportStreamErrors, BadPesHeadersLoseOnlyTheirPacket) {
    auto video = VideoUnits(3);
    uint8_t cc = 0;
    Bytes noStartCode(184, 0x55);
    Bytes noTime = Pes(PesHeader{0xE0, 0, 0, 0, false}, Bytes(50, 0x66));
    PesHeader pastPacket;
    pastPacket.cbStuffing = 180; // header data past the end of the packet
    Bytes longHeader = Pes(pastPacket, {});
    Bytes ts = Concat({Concat(TsPackets(kVideoPid, PesOf(0xE0, video[0]), cc)),
                       TsPacket(kVideoPid, true, noStartCode.data(), noStartCode.size(), cc),
                       Concat(TsPackets(kVideoPid, PesOf(0xE0, video[1]), cc)),
                       TsPacket(kVideoPid, true, noTime.data(), noTime.size(), cc),
                       TsPacket(kVideoPid, true, longHeader.data(), 184, cc),
                       Concat(TsPackets(kVideoPid, PesOf(0xE0, video[2]), cc))});
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts, 188), S_FALSE);
    EXPECT_EQ(h.m_nFalseSamples, 3);
    EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 3u);
    h.Finish();
    ExpectVideo(h, video);
}

TEST(TransportStreamErrors, AnAdaptationFieldLongerThanThePacketSkipsIt) {
    auto video = VideoUnits(2);
    uint8_t cc = 0;
    std::vector<Bytes> packets = TsPackets(kVideoPid, PesOf(0xE0, video[0]), cc);
    Bytes bogus = packets[1];
    bogus[3] |= 0x20;
    bogus[4] = 200;
    packets.insert(packets.begin() + 1, bogus);
    Bytes ts = Concat({Concat(packets), Concat(TsPackets(kVideoPid, PesOf(0xE0, video[1]), cc))});
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts), S_OK);
    h.Finish();
    EXPECT_EQ(h.m_pParser->GetStats().cPacketsSkipped, 1u);
    ExpectVideo(h, video);
}

// Payload beyond a record's buffer is dropped; what fits is delivered.
TEST(TransportStreamErrors, APesLargerThanARecordFillsItAndDropsTheRest) {
    Unit big = {H264AccessUnit(true, VIDEO_RECORD_SIZE + 5000, 0x3C), 90000};
    Unit bigAudio = {Concat({AdtsFrame(8000, 1), AdtsFrame(8000, 2), AdtsFrame(8000, 3), AdtsFrame(8000, 4),
                             AdtsFrame(8000, 5)}),
                     90000};
    auto after = VideoUnits(1);
    PesHeader header;
    header.bUnbounded = true;
    header.pts = big.pts;
    uint8_t ccV = 0, ccA = 0;
    Bytes ts = Concat({Concat(TsPackets(kVideoPid, Pes(header, big.payload), ccV)),
                       Concat(TsPackets(kAudioPid, PesOf(0xC0, bigAudio), ccA)),
                       Concat(TsPackets(kVideoPid, PesOf(0xE0, after[0]), ccV))});
    DemuxHarness h;
    EXPECT_EQ(h.Feed(ts), S_OK);
    h.Finish();
    ASSERT_EQ(h.m_Video.size(), 2u);
    EXPECT_EQ(h.m_Video[0].data, Bytes(big.payload.begin(), big.payload.begin() + VIDEO_RECORD_SIZE));
    EXPECT_EQ(h.m_Video[1].data, after[0].payload);
    // Four whole frames fit the audio record; the fifth is cut and not delivered.
    EXPECT_EQ(h.m_Audio.size(), 4u);
    EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped,
              5000u + (bigAudio.payload.size() - AUDIO_RECORD_SIZE));
}

TEST(TransportStreamRecords, EndOfStreamClosesTheOpenRecords) {
    auto video = VideoUnits(2);
    auto audio = AudioUnits(2);
    Bytes ts = Multiplex(video, audio);
    ts.insert(ts.end(), {0x47, 0x00, 0x44});
    DemuxHarness h;
    h.Feed(ts);
    EXPECT_EQ(h.m_Video.size(), 1u);
    EXPECT_EQ(h.m_Audio.size(), 3u);
    EXPECT_EQ(h.m_pParser->EndOfStream(), S_OK);
    EXPECT_EQ(h.m_pRecords->Filled(DEMUX_VIDEO)->GetCount(), 1);
    EXPECT_EQ(h.m_pRecords->Filled(DEMUX_AUDIO)->GetCount(), 1);
    h.Drain();
    ExpectVideo(h, video);
    ExpectAudio(h, audio);
    EXPECT_EQ(h.m_pParser->GetInputFormat(), static_cast<DWORD>(INPUT_UNKNOWN));
}

TEST(TransportStreamRecords, ResetReturnsOpenRecordsAndForgetsTheFormat) {
    auto video = VideoUnits(3);
    DemuxHarness h;
    h.FeedOne(Multiplex(video, AudioUnits(1)));
    EXPECT_EQ(h.m_pRecords->Free(DEMUX_VIDEO)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM) - 3);
    h.m_pParser->ResetParser();
    EXPECT_EQ(h.m_pRecords->Free(DEMUX_VIDEO)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM) - 2);
    EXPECT_EQ(h.m_pRecords->Free(DEMUX_AUDIO)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
    EXPECT_EQ(h.m_pParser->GetInputFormat(), static_cast<DWORD>(INPUT_UNKNOWN));
    EXPECT_EQ(h.m_nResets, 0) << "an explicit reset is the filter's own; it is not told back";
}

// ---- a consumer slower than the producer ----------------------------------------------------

Bytes ManyVideoStarts(int n) {
    Bytes ts;
    uint8_t cc = 0;
    for (int i = 0; i < n; i++) {
        PesHeader header;
        header.pts = 3000 * i;
        Bytes pes = Pes(header, Bytes{0, 0, 0, 1, 0x41, static_cast<uint8_t>(i)});
        ts = Concat({ts, TsPacket(kVideoPid, true, pes.data(), pes.size(), cc)});
    }
    return ts;
}

TEST(TransportStreamFlow, StoppedFilterRunsOutOfRecordsAsAnError) {
    DemuxHarness h;
    h.m_bMayWait = FALSE;
    Bytes ts = ManyVideoStarts(static_cast<int>(DEMUX_RECORDS_PER_STREAM) + 2);
    // 90 starts fill 89 records and hold one open; the 91st start closes it and finds none.
    EXPECT_EQ(h.Feed(Bytes(ts.begin(), ts.begin() + 188 * DEMUX_RECORDS_PER_STREAM), 188, false), S_OK);
    EXPECT_EQ(h.Feed(Bytes(ts.begin() + 188 * DEMUX_RECORDS_PER_STREAM, ts.end()), 188, false), S_FALSE);
    EXPECT_EQ(h.m_pRecords->Filled(DEMUX_VIDEO)->GetCount(), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
}

TEST(TransportStreamFlow, RunningFilterWaitsForTheConsumerInsteadOfLosingData) {
    DemuxHarness h;
    h.m_bMayWait = TRUE;
    constexpr int kStarts = 400;
    Bytes ts = ManyVideoStarts(kStarts);
    std::atomic<bool> bDone{false};
    std::vector<Delivered> delivered;
    std::thread consumer([&] {
        FakeSample sample(VIDEO_RECORD_SIZE);
        for (;;) {
            // Read before the fill: once the producer is done, an empty queue means all came.
            bool bProducerDone = bDone;
            HRESULT hr = h.m_pVideo->FillVideoSample(&sample);
            if (hr == S_OK) {
                delivered.push_back({Bytes(sample.m_Buffer.begin(), sample.m_Buffer.begin() + sample.lActual),
                                     sample.rtStart, sample.llMediaStart, sample.llMediaStop, sample.bSync, sample.bTime});
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            } else if (bProducerDone) {
                break;
            } else {
                std::this_thread::yield();
            }
        }
    });
    EXPECT_EQ(h.Feed(ts, 188 * 7, false), S_OK);
    EXPECT_EQ(h.m_pParser->EndOfStream(), S_OK);
    bDone = true;
    consumer.join();
    ASSERT_EQ(delivered.size(), static_cast<size_t>(kStarts));
    for (int i = 0; i < kStarts; i++) {
        EXPECT_EQ(delivered[static_cast<size_t>(i)].rtStart, ToRefTime(3000 * i));
        EXPECT_EQ(delivered[static_cast<size_t>(i)].llMediaStart, i);
    }
}

TEST(TransportStreamFlow, StoppingEndsAWaitForARecord) {
    DemuxHarness h;
    h.m_bMayWait = TRUE;
    Bytes ts = ManyVideoStarts(static_cast<int>(DEMUX_RECORDS_PER_STREAM) + 1);
    std::thread stopper([&] {
        // Stop once the parser is waiting: every record is filled and nobody consumes.
        while (h.m_pRecords->Filled(DEMUX_VIDEO)->GetCount() < static_cast<LONG>(DEMUX_RECORDS_PER_STREAM)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        h.m_bMayWait = FALSE;
        h.m_pRecords->WakeWaiters();
    });
    EXPECT_EQ(h.Feed(ts, ts.size(), false), S_FALSE);
    stopper.join();
    EXPECT_EQ(h.m_nResets, 1);
}

} // namespace
