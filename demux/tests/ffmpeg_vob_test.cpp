// Program streams as ffmpeg's vob muxer writes them: 2048-byte packs, no data-alignment bits,
// access units and ADTS frames running across packets, and each packet timed by the first
// unit that begins in it. H.264 without delimiters (units found by their NAL units) and AAC
// that enters the muxer labelled as MP3, which its program-stream muxers would refuse.
#include "demux_test_util.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

using namespace demuxtest;

struct VobRecipe {
    const char* pszName;
    int nRate;
    int nBFrames;
    // Noise makes every access unit run over several packets; without it most share one.
    bool bNoise;
};

struct VobMedia {
    // Video under stream id 0xE0, as the parser takes it.
    Bytes vob;
    // What ffmpeg itself reads back from the program stream, and the access units' sizes.
    Bytes videoEs;
    std::vector<size_t> unitSizes;
    // The ADTS stream that went in.
    Bytes adts;
    int nRate = 0;
};

// One PES packet of a program stream: its stream id, where its payload lies and its time.
struct PsPes {
    uint8_t nId;
    size_t nIdAt;
    size_t nPayloadAt;
    size_t cbPayload;
    bool bTime;
    int64_t ticks;
};

int64_t ReadTicks(const uint8_t* pb) {
    return (static_cast<int64_t>((pb[0] >> 1) & 7) << 30) | (static_cast<int64_t>(pb[1]) << 22) |
           (static_cast<int64_t>(pb[2] >> 1) << 15) | (static_cast<int64_t>(pb[3]) << 7) | (pb[4] >> 1);
}

// Walks pack headers, system headers and PES packets; the system headers' offsets go to
// *pSystemHeaders.
std::vector<PsPes> WalkPs(const Bytes& ps, std::vector<size_t>* pSystemHeaders) {
    std::vector<PsPes> packets;
    size_t at = 0;
    while (at + 6 <= ps.size()) {
        EXPECT_TRUE(ps[at] == 0 && ps[at + 1] == 0 && ps[at + 2] == 1) << at;
        if (ps[at] != 0 || ps[at + 1] != 0 || ps[at + 2] != 1) break;
        uint8_t nId = ps[at + 3];
        if (nId == 0xBA) {
            at += 14 + (ps[at + 13] & 7);
            continue;
        }
        if (nId == 0xB9) {
            at += 4;
            continue;
        }
        size_t cb = ((static_cast<size_t>(ps[at + 4]) << 8) | ps[at + 5]) + 6;
        if (nId == 0xBB && pSystemHeaders) pSystemHeaders->push_back(at);
        if (nId == 0xE2 || nId == 0xE0 || nId == 0xC0) {
            PsPes pes = {nId, at + 3, at + 9 + ps[at + 8], 0, false, 0};
            pes.cbPayload = at + cb - pes.nPayloadAt;
            int nFlags = ps[at + 7] >> 6;
            pes.bTime = nFlags == 2 || nFlags == 3;
            if (nFlags == 2) pes.ticks = ReadTicks(&ps[at + 9]);
            if (nFlags == 3) pes.ticks = ReadTicks(&ps[at + 14]);
            packets.push_back(pes);
        }
        at += cb;
    }
    return packets;
}

// The muxer files H.264 under stream id 0xE2; the parser takes 0xE0.
void RenumberVideo(Bytes& ps) {
    std::vector<size_t> systemHeaders;
    for (const PsPes& pes : WalkPs(ps, &systemHeaders)) {
        if (pes.nId == 0xE2) ps[pes.nIdAt] = 0xE0;
    }
    for (size_t at : systemHeaders) {
        size_t end = at + 6 + ((static_cast<size_t>(ps[at + 4]) << 8) | ps[at + 5]);
        for (size_t j = at + 12; j + 3 <= end; j += 3) {
            if (ps[j] == 0xE2) ps[j] = 0xE0;
        }
    }
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

// Made once per build tree and cached, like the transport streams; null when ffmpeg fails.
const VobMedia* GetVobMedia(const VobRecipe& recipe) {
    static std::map<std::string, std::unique_ptr<VobMedia>> s_cache;
    auto found = s_cache.find(recipe.pszName);
    if (found != s_cache.end()) return found->second.get();

    std::string base = MediaDir(YRA_DEMUX_MEDIA_DIR) + "/" + recipe.pszName;
    std::string vob = base + ".vob", video = base + ".h264", audio = base + ".aac", sizes = base + ".sizes";
    if (ReadFile(sizes).empty()) {
        std::string tmp = base + "." + std::to_string(getpid());
        const std::string ff = "ffmpeg -nostdin -hide_banner -loglevel fatal -y ";
        std::ostringstream make;
        // Parameter sets in every key frame, as a capture has them; the audio as ADTS frames
        // in a container that keeps each frame's time, entering the muxer labelled as MP3.
        make << ff << "-f lavfi -i testsrc=size=640x360:rate=30 -f lavfi -i sine=frequency=440:sample_rate="
             << recipe.nRate << " -t 2" << (recipe.bNoise ? " -vf noise=alls=12:allf=t" : "")
             << " -c:v libx264 -g 30 -bf " << recipe.nBFrames << " -bsf:v dump_extra -c:a aac -f nut "
             << Quote(tmp + ".src.nut") << " && " << ff << "-i " << Quote(tmp + ".src.nut")
             << " -map 0:a -c copy -f adts " << Quote(tmp + ".aac") << " && " << ff << "-i " << Quote(tmp + ".aac")
             << " -c copy -f nut " << Quote(tmp + ".a.nut") << " && " << ff << "-i " << Quote(tmp + ".src.nut")
             << " -c:a mp3 -i " << Quote(tmp + ".a.nut") << " -map 0:v -map 1:a -c copy -f vob "
             << Quote(tmp + ".raw.vob");
        if (!RunCommand(make.str())) return nullptr;
        Bytes ps = ReadFile(tmp + ".raw.vob");
        RenumberVideo(ps);
        WriteFile(tmp + ".vob", ps);
        std::ostringstream back;
        back << ff << "-c:a aac -i " << Quote(tmp + ".vob") << " -map 0:v -c copy -f h264 " << Quote(tmp + ".h264");
        if (!RunCommand(back.str())) return nullptr;
        // Each packet of the source container is one access unit.
        std::string unitSizes = RunCapture("ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 " +
                                           Quote(tmp + ".src.nut"));
        std::ofstream(tmp + ".sizes") << unitSizes;
        std::string done = "mv -f " + Quote(tmp + ".vob") + " " + Quote(vob) + " && mv -f " + Quote(tmp + ".h264") +
                           " " + Quote(video) + " && mv -f " + Quote(tmp + ".aac") + " " + Quote(audio) +
                           " && mv -f " + Quote(tmp + ".sizes") + " " + Quote(sizes) + " && rm -f " +
                           Quote(tmp + ".src.nut") + " " + Quote(tmp + ".a.nut") + " " + Quote(tmp + ".raw.vob");
        if (!RunCommand(done)) return nullptr;
    }
    auto media = std::make_unique<VobMedia>();
    media->vob = ReadFile(vob);
    media->videoEs = ReadFile(video);
    media->adts = ReadFile(audio);
    media->nRate = recipe.nRate;
    std::ifstream in(sizes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) media->unitSizes.push_back(std::stoul(line));
    }
    if (media->vob.empty() || media->videoEs.empty() || media->adts.empty() || media->unitSizes.empty())
        return nullptr;
    return (s_cache[recipe.pszName] = std::move(media)).get();
}

// The units laid over a stream's packets: a unit takes the time of the packet its first byte
// lies in when it is the first unit to begin there.
std::vector<CutUnit> TimeUnits(const std::vector<PsPes>& packets, uint8_t nId, const std::vector<Bytes>& units) {
    std::vector<CutUnit> timed;
    size_t nPes = 0;
    size_t cbBefore = 0;
    size_t nPesTaken = SIZE_MAX;
    size_t at = 0;
    std::vector<const PsPes*> stream;
    for (const PsPes& pes : packets) {
        if (pes.nId == nId && pes.cbPayload) stream.push_back(&pes);
    }
    for (const Bytes& unit : units) {
        while (nPes < stream.size() && cbBefore + stream[nPes]->cbPayload <= at) {
            cbBefore += stream[nPes]->cbPayload;
            nPes++;
        }
        bool bTime = nPes < stream.size() && nPes != nPesTaken && stream[nPes]->bTime;
        timed.push_back({unit, bTime, bTime ? ToRefTime(stream[nPes]->ticks) : 0});
        nPesTaken = nPes;
        at += unit.size();
    }
    return timed;
}

class VobStreams : public testing::TestWithParam<VobRecipe> {
protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        m_pMedia = GetVobMedia(GetParam());
        ASSERT_NE(m_pMedia, nullptr) << "ffmpeg could not make the program stream";
    }

    const VobMedia* m_pMedia = nullptr;
};

TEST_P(VobStreams, EveryAccessUnitAndAdtsFrameArrivesWholeWithItsPacketTime) {
    const VobMedia& m = *m_pMedia;
    std::vector<PsPes> packets = WalkPs(m.vob, nullptr);
    std::vector<Bytes> units;
    auto es = m.videoEs.begin();
    for (size_t cb : m.unitSizes) {
        ASSERT_LE(cb, static_cast<size_t>(m.videoEs.end() - es));
        units.emplace_back(es, es + static_cast<long>(cb));
        es += static_cast<long>(cb);
    }
    ASSERT_EQ(es, m.videoEs.end());
    std::vector<CutUnit> video = TimeUnits(packets, 0xE0, units);
    std::vector<CutUnit> audio = TimeUnits(packets, 0xC0, SplitAdtsFrames(m.adts));
    // The stream is what the rule is for: units run across packets, and some begin in a
    // packet whose time an earlier unit took.
    ASSERT_GT(packets.size(), 15u);
    for (const PsPes& pes : packets)
        ASSERT_EQ(m.vob[pes.nIdAt - 3 + 6] & 0x04, 0) << "an aligned packet";

    const REFERENCE_TIME rtFrame = 10240000000LL / m.nRate;
    for (size_t cbChunk : {1, 188, 2048, 4096, 65536}) {
        SCOPED_TRACE(cbChunk);
        DemuxHarness h;
        ASSERT_EQ(h.m_pAudio->SetAudioSampleRate(static_cast<DWORD>(m.nRate)), S_OK);
        EXPECT_EQ(h.Feed(m.vob, cbChunk), S_OK);
        h.Finish();
        EXPECT_EQ(h.m_pParser->GetStats().cParseErrors, 0u);
        EXPECT_EQ(h.m_pParser->GetStats().cbPayloadDropped, 0u);

        ExpectCutUnits(h.m_Video, video);
        ExpectCutFrames(h.m_Audio, audio, rtFrame);
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, VobStreams,
                         testing::Values(VobRecipe{"vob_bframes48k_v1", 48000, 2, false},
                                         VobRecipe{"vob_noise44k_v1", 44100, 0, true}),
                         [](const testing::TestParamInfo<VobRecipe>& info) {
                             return std::string(info.param.bNoise ? "Noise44k" : "BFrames48k");
                         });

} // namespace
