// The fuzz target's seed corpus: made here from the test builders, and run through the fuzz
// driver as a regression in every build. Set YRA_DEMUX_WRITE_SEEDS to a directory to write
// the seeds there (demux/fuzz/corpus holds the committed ones).
#include "../fuzz/fuzz_driver.h"
#include "demux_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

using namespace demuxtest;

Bytes Seed(uint8_t nMode, uint8_t nRate, const Bytes& stream) {
    Bytes seed = {static_cast<uint8_t>((nRate << 2) | nMode), 0x5A};
    seed.insert(seed.end(), stream.begin(), stream.end());
    return seed;
}

Bytes SmallTs(bool bInterleave) {
    auto video = VideoUnits(3, 300);
    auto audio = AudioUnits(3);
    std::vector<Bytes> v, a;
    uint8_t ccV = 0, ccA = 0;
    for (const Unit& u : video) {
        for (Bytes& p : TsPackets(0x44, Pes(PesHeader{0xE0, 2, u.pts, 0, true}, u.payload), ccV))
            v.push_back(p);
    }
    for (const Unit& u : audio) {
        for (Bytes& p : TsPackets(0x45, Pes(PesHeader{0xC0, 3, u.pts, u.pts - 10, true}, u.payload), ccA))
            a.push_back(p);
    }
    if (!bInterleave) return Concat({Concat(v), Concat(a)});
    Bytes ts;
    for (size_t i = 0; i < std::max(v.size(), a.size()); i++) {
        if (i < v.size()) ts = Concat({ts, v[i]});
        if (i < a.size()) ts = Concat({ts, a[i]});
    }
    return ts;
}

Bytes SmallPs(bool bAligned, bool bOther) {
    PsOptions options;
    options.cbMaxPesPayload = 200;
    options.bAligned = bAligned;
    options.bOtherStreams = bOther;
    options.cbPackStuffing = 2;
    PsMuxer mux(options);
    auto video = VideoUnits(3, 300);
    auto audio = AudioUnits(3);
    for (size_t i = 0; i < 3; i++) {
        mux.AddVideo(video[i].payload, video[i].pts, i == 1 ? video[i].pts - 3000 : -1);
        mux.AddAudio(audio[i].payload, audio[i].pts);
    }
    return mux.Finish();
}

Bytes OddTs() {
    uint8_t cc = 0;
    Bytes pes = Pes(PesHeader{0xE0, 2, 90000, 0, true}, H264AccessUnit(true, 100, 0x22));
    Bytes longAdaptation = TsPacket(0x44, false, pes.data(), 100, cc);
    longAdaptation[4] = 190;
    Bytes noTime = Pes(PesHeader{0xC0, 0, 0, 0, true}, AdtsFrame(50, 0x33));
    return Concat({TsPacket(0x44, true, pes.data(), pes.size(), cc), longAdaptation,
                   TsPacket(0x45, true, noTime.data(), noTime.size(), cc),
                   Bytes{0x47, 0x40, 0x44, 0x10, 0x00, 0x00}});
}

// Unaligned packets as muxers cut them: units without delimiters and ADTS frames across
// packet ends, a stream that begins mid-frame.
Bytes CutPs(size_t cbVideo, size_t cbAudio, bool bTimeEveryPacket) {
    std::vector<CutUnit> expected;
    Bytes tail = {0x31, 0xFF, 0xF1, 0x4C, 0x80, 0x05, 0x1F, 0xFC, 0x32};
    return Concat({CutIntoPackets(0xE0, UnitsWithoutDelimiters(6), cbVideo, bTimeEveryPacket, &expected),
                   CutIntoPackets(0xC0, {tail, Concat(VariedAdtsFrames(8))}, cbAudio, bTimeEveryPacket, &expected)});
}

std::map<std::string, Bytes> MakeSeeds() {
    std::map<std::string, Bytes> seeds;
    seeds["ts_whole_packets"] = Seed(3, 0, SmallTs(false));
    seeds["ts_interleaved_small_samples"] = Seed(0, 1, SmallTs(true));
    seeds["ts_odd_headers"] = Seed(1, 0, OddTs());
    seeds["ps_split_units"] = Seed(2, 2, SmallPs(true, false));
    seeds["ps_unaligned_other_streams"] = Seed(1, 3, SmallPs(false, true));
    seeds["ps_unaligned_cut_small"] = Seed(0, 0, CutPs(5, 7, false));
    seeds["ps_unaligned_timed_packets"] = Seed(1, 1, CutPs(60, 100, true));
    Bytes garbage = {0x12, 0x47, 0x00, 0x00, 0x01, 0x33, 0x00};
    seeds["garbage_then_ts"] = Seed(0, 0, Concat({garbage, SmallTs(false)}));
    seeds["garbage_then_ps"] = Seed(1, 0, Concat({garbage, SmallPs(true, false)}));
    return seeds;
}

TEST(FuzzSeeds, BuiltSeedsRunCleanlyAndAreWrittenOnRequest) {
    auto seeds = MakeSeeds();
    for (const auto& [name, seed] : seeds) {
        EXPECT_LT(seed.size(), 16384u) << name;
        EXPECT_EQ(DemuxFuzzOne(seed.data(), seed.size()), 0) << name;
    }
    if (const char* pszDir = std::getenv("YRA_DEMUX_WRITE_SEEDS")) {
        std::filesystem::create_directories(pszDir);
        for (const auto& [name, seed] : seeds)
            WriteFile(std::string(pszDir) + "/" + name, seed);
    }
}

TEST(FuzzSeeds, CommittedCorpusRunsCleanly) {
    std::filesystem::path corpus = YRA_DEMUX_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::exists(corpus)) << corpus;
    size_t nFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        Bytes input = ReadFile(entry.path().string());
        EXPECT_EQ(DemuxFuzzOne(input.data(), input.size()), 0) << entry.path();
        nFiles++;
    }
    EXPECT_GT(nFiles, 0u);
}

} // namespace
