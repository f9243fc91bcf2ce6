// yra-demux end to end, as a user runs it: registered with yra-regsvr, fed transport streams
// made by ffmpeg and a program stream of our own making, and checked against what ffmpeg
// itself demultiplexes from the same input.
#include "demux_test_util.h"
#include "tests/support/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace demuxtest;

using ToolRun = test_support::ShellRun;

// Standard output and error together.
ToolRun RunTool(const std::string& command) { return test_support::RunShell(command + " 2>&1"); }

std::string Quote(const std::string& s) { return test_support::ShellQuote(s); }

struct CsvRow {
    std::string stream;
    long long index, length, time, mediaStart, mediaStop;
    int sync;
};

std::vector<CsvRow> ReadCsv(const std::string& path, std::string* header) {
    std::vector<CsvRow> rows;
    Bytes bytes = ReadFile(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::getline(in, *header);
    while (std::getline(in, line)) {
        CsvRow row{};
        char stream[16] = {};
        if (std::sscanf(line.c_str(), "%15[a-z],%lld,%lld,%lld,%lld,%lld,%d", stream, &row.index, &row.length, &row.time,
                        &row.mediaStart, &row.mediaStop, &row.sync) == 7) {
            row.stream = stream;
            rows.push_back(row);
        } else {
            ADD_FAILURE() << "bad line: " << line;
        }
    }
    return rows;
}

std::vector<CsvRow> RowsOf(const std::vector<CsvRow>& rows, const char* stream) {
    std::vector<CsvRow> out;
    for (const CsvRow& row : rows)
        if (row.stream == stream) out.push_back(row);
    return out;
}

std::vector<std::string> LinesOf(const std::string& path, const std::string& stream) {
    Bytes bytes = ReadFile(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(stream + ",", 0) == 0) lines.push_back(line);
    return lines;
}

class YraDemux : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = testing::TempDir() + "yra-demux-e2e-" + std::to_string(getpid()) + "-" + info->name();
        for (char& c : m_dir)
            if (c == '/' && &c > &m_dir[testing::TempDir().size()]) c = '_';
        std::filesystem::create_directories(m_dir);
        // The tools run as children; a registry of this test's own keeps them apart from
        // anything registered elsewhere.
        setenv("YRA_HOST_ROOT", (m_dir + "/host").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void Register() {
        ToolRun run = RunTool(std::string(YRA_REGSVR) + " -s " + Quote(YRA_DEMUX_MODULE));
        ASSERT_EQ(run.status, 0) << run.output;
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    // yra-demux with `arguments` (quoted as needed by the caller).
    static ToolRun RunDemux(const std::string& arguments) {
        return RunTool(std::string(YRA_DEMUX_TOOL) + " " + arguments);
    }
    // one.ts, a single transport packet that carries nothing: enough for the tool to run.
    std::string OnePacketFile() {
        uint8_t nCounter = 0;
        WriteFile(Path("one.ts"), TsPacket(0x44, false, nullptr, 0, nCounter));
        return Path("one.ts");
    }

    // Demultiplexes input into <tag>.h264, <tag>.aac and <tag>.csv.
    ToolRun Demux(const std::string& input, const std::string& tag, long chunk = 65536) {
        return RunDemux(Quote(input) + " --quiet --chunk " + std::to_string(chunk) + " --video " +
                        Quote(Path(tag + ".h264")) + " --audio " + Quote(Path(tag + ".aac")) + " --samples " +
                        Quote(Path(tag + ".csv")));
    }

    static void ExpectPlays(const std::string& path) {
        ToolRun probe = RunTool("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + Quote(path));
        EXPECT_EQ(probe.status, 0) << path;
        EXPECT_TRUE(probe.output == "h264\n" || probe.output == "aac\n") << path << ": " << probe.output;
    }

    std::string m_dir;
};

const MediaRecipe kPlain = {"plain48k_stereo_v1", 48000, 0, 2};
const MediaRecipe kBFrames = {"bframes44k_stereo_v1", 44100, 2, 2};

class YraDemuxStreams : public YraDemux, public testing::WithParamInterface<MediaRecipe> {
protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        YraDemux::SetUp();
        m_pMedia = GetMedia(GetParam(), YRA_DEMUX_MEDIA_DIR);
        ASSERT_NE(m_pMedia, nullptr) << "ffmpeg could not make the test stream";
        Register();
    }
    const Media* m_pMedia = nullptr;
};

TEST_P(YraDemuxStreams, GivesWhatFfmpegGivesTimedByThePesTimeStamps) {
    ToolRun run = Demux(m_pMedia->tsPath, "out");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("parse errors: 0"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(Path("out.h264")), m_pMedia->videoEs);
    // The headers are rebuilt from the audio pin's type, which the file's rate decides.
    EXPECT_EQ(ReadFile(Path("out.aac")), m_pMedia->audioEs);
    // The summary's byte counts are the samples'; the AAC file's size is given beside them.
    EXPECT_NE(run.output.find("bytes -> " + Path("out.h264") + "\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("bytes -> " + Path("out.aac") + " (" +
                              std::to_string(m_pMedia->audioEs.size()) + " bytes with the ADTS headers)\n"),
              std::string::npos)
        << run.output;
    ExpectPlays(Path("out.h264"));
    ExpectPlays(Path("out.aac"));

    std::string header;
    std::vector<CsvRow> rows = ReadCsv(Path("out.csv"), &header);
    EXPECT_EQ(header, "stream,index,length,time,media_start,media_stop,sync");
    std::vector<CsvRow> video = RowsOf(rows, "video");
    ASSERT_EQ(video.size(), m_pMedia->videoDts.size());
    for (size_t i = 0; i < video.size(); i++) {
        // The PES's DTS when it has one (B-frames), else its PTS; ffprobe's dts is that either way.
        EXPECT_EQ(video[i].time, ToRefTime(m_pMedia->videoDts[i])) << "video " << i;
        EXPECT_EQ(video[i].sync, m_pMedia->videoKey[i] ? 1 : 0) << "video " << i;
        EXPECT_EQ(video[i].mediaStart, static_cast<long long>(i));
        EXPECT_EQ(video[i].mediaStop, static_cast<long long>(i + 1));
    }
    std::vector<CsvRow> audio = RowsOf(rows, "audio");
    ASSERT_EQ(audio.size(), m_pMedia->audioPts.size());
    for (size_t i = 0; i < audio.size(); i++) {
        REFERENCE_TIME expected = ToRefTime(m_pMedia->audioPts[i]);
        if (m_pMedia->audioPesStart[i]) {
            EXPECT_EQ(audio[i].time, expected) << "audio " << i;
        } else {
            // Later frames of a PES are timed by whole frame durations (truncated to 100 ns).
            EXPECT_NEAR(static_cast<double>(audio[i].time), static_cast<double>(expected), 2000) << "audio " << i;
        }
        EXPECT_EQ(audio[i].sync, 1);
        EXPECT_EQ(audio[i].mediaStart, static_cast<long long>(i) * m_pMedia->nRate);
    }
}

TEST_P(YraDemuxStreams, SampleSizeDoesNotChangeTheOutput) {
    ASSERT_EQ(Demux(m_pMedia->tsPath, "ref").status, 0);
    for (long chunk : {1L, 100L, 188L, 4096L}) {
        std::string tag = "chunk" + std::to_string(chunk);
        ToolRun run = Demux(m_pMedia->tsPath, tag, chunk);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(ReadFile(Path(tag + ".h264")), ReadFile(Path("ref.h264"))) << chunk;
        EXPECT_EQ(ReadFile(Path(tag + ".aac")), ReadFile(Path("ref.aac"))) << chunk;
        // The two streams' lines interleave as the sinks happen to receive them.
        EXPECT_EQ(LinesOf(Path(tag + ".csv"), "video"), LinesOf(Path("ref.csv"), "video")) << chunk;
        EXPECT_EQ(LinesOf(Path(tag + ".csv"), "audio"), LinesOf(Path("ref.csv"), "audio")) << chunk;
    }
}

// A capture cut in the middle of a packet is read from its first whole packet on.
TEST_P(YraDemuxStreams, AFileThatBeginsMidPacketStartsAtItsFirstWholePacket) {
    Bytes cut(m_pMedia->ts.begin() + 100, m_pMedia->ts.end());
    WriteFile(Path("cut.ts"), cut);
    ToolRun run = Demux(Path("cut.ts"), "cut");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("parse errors: 0"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(Path("cut.aac")), m_pMedia->audioEs) << "the first packet holds no audio";
    Bytes videoOut = ReadFile(Path("cut.h264"));
    ASSERT_LE(videoOut.size(), m_pMedia->videoEs.size());
    EXPECT_TRUE(std::equal(videoOut.rbegin(), videoOut.rend(), m_pMedia->videoEs.rbegin()))
        << "everything after the lost start";
}

// ffmpeg's elementary streams wrapped by the tests' muxer into a program stream.
TEST_P(YraDemuxStreams, AProgramStreamOfTheSameStreamsGivesTheSameFiles) {
    std::vector<Bytes> units = SplitAccessUnits(m_pMedia->videoEs);
    ASSERT_EQ(units.size(), m_pMedia->videoDts.size());
    std::vector<Bytes> frames = SplitAdtsFrames(m_pMedia->audioEs);
    ASSERT_EQ(frames.size(), m_pMedia->audioPts.size());
    PsMuxer mux(PsOptions{});
    size_t nFrame = 0;
    auto addAudioUpTo = [&](int64_t limit) {
        while (nFrame < frames.size() && m_pMedia->audioPts[nFrame] <= limit) {
            size_t nEnd = std::min(frames.size(), nFrame + 4);
            mux.AddAudio(Concat(std::vector<Bytes>(frames.begin() + static_cast<long>(nFrame),
                                                   frames.begin() + static_cast<long>(nEnd))),
                         m_pMedia->audioPts[nFrame]);
            nFrame = nEnd;
        }
    };
    for (size_t i = 0; i < units.size(); i++) {
        int64_t dts = m_pMedia->videoDts[i] != m_pMedia->videoPts[i] ? m_pMedia->videoDts[i] : -1;
        mux.AddVideo(units[i], m_pMedia->videoPts[i], dts);
        addAudioUpTo(m_pMedia->videoDts[i]);
    }
    addAudioUpTo(INT64_MAX);
    std::string ps = Path("in.mpg");
    WriteFile(ps, mux.Finish());

    ToolRun run = Demux(ps, "ps", 1000);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("program stream"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("parse errors: 0"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(Path("ps.h264")), m_pMedia->videoEs);
    EXPECT_EQ(ReadFile(Path("ps.aac")), m_pMedia->audioEs);
    ExpectPlays(Path("ps.aac"));
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, YraDemuxStreams, testing::Values(kPlain, kBFrames),
                         [](const testing::TestParamInfo<MediaRecipe>& info) {
                             return std::string(info.param.nBFrames ? "BFrames44k" : "Plain48k");
                         });

TEST_F(YraDemux, SaysHowToRegisterTheDemultiplexerWhenItIsNot) {
    ToolRun run = RunDemux(Quote(OnePacketFile()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("not registered"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("yra-regsvr " + std::filesystem::canonical(YRA_DEMUX_MODULE).string()),
              std::string::npos)
        << run.output;
}

TEST_F(YraDemux, PointsAtACorruptRegistryInsteadOfAskingToRegisterAgain) {
    Register();
    const std::string hive = m_dir + "/host/registry/HKEY_CLASSES_ROOT.reg";
    ASSERT_TRUE(std::filesystem::exists(hive));
    Bytes text = ReadFile(hive);
    const size_t lines = std::count(text.begin(), text.end(), '\n');
    WriteFile(hive, Concat({text, Bytes{'[', 'b', 'r', 'o', 'k', 'e', 'n', '\n'}}));
    ToolRun run = RunDemux(Quote(OnePacketFile()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find(hive + ":" + std::to_string(lines + 1) + ":"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Move the file aside"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("register it again"), std::string::npos) << run.output;
}

TEST_F(YraDemux, FailsClearlyWhenItCannotReadOrWrite) {
    Register();
    ToolRun missing = RunDemux(Quote(Path("missing.ts")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot read"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("No such file"), std::string::npos) << missing.output;

    WriteFile(Path("text.ts"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    ToolRun text = RunDemux(Quote(Path("text.ts")));
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.output.find("neither an MPEG-2 transport stream nor a program stream"), std::string::npos)
        << text.output;

    // A zero-length file ends at once, with the reason.
    WriteFile(Path("empty.ts"), Bytes{});
    ToolRun empty = RunDemux(Quote(Path("empty.ts")));
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.output.find("the file is empty"), std::string::npos) << empty.output;

    // A full disk is a failure, not a short file reported as success.
    uint8_t nCounter = 0;
    uint8_t es[] = {0, 0, 0, 1, 0x09, 0xF0};
    Bytes pes = Pes(PesHeader{}, Bytes(es, es + sizeof(es)));
    WriteFile(Path("tiny.ts"), TsPacket(0x44, true, pes.data(), pes.size(), nCounter));
    if (std::filesystem::exists("/dev/full")) {
        ToolRun full = RunDemux("--quiet " + Quote(Path("tiny.ts")) + " --video /dev/full");
        EXPECT_EQ(full.status, 1) << full.output;
        EXPECT_NE(full.output.find("ERROR_HANDLE_DISK_FULL"), std::string::npos) << full.output;
    }

    ToolRun usage = RunDemux("--chunk 0 x.ts");
    EXPECT_EQ(usage.status, 2) << usage.output;
    ToolRun help = RunDemux("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--samples FILE.csv"), std::string::npos);
}

// A capture whose last audio PES holds no whole ADTS frame (here 50 zero bytes): every run
// ends, with every frame before it.
TEST_F(YraDemux, FinishesWhenTheLastAudioPesHoldsNoWholeFrame) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const Media* media = GetMedia(kPlain, YRA_DEMUX_MEDIA_DIR);
    ASSERT_NE(media, nullptr);
    Register();
    PesHeader header;
    header.nStreamId = 0xC0;
    header.pts = 900000;
    uint8_t nCounter = 0;
    Bytes ts = media->ts;
    for (const Bytes& packet : TsPackets(0x45, Pes(header, Bytes(50, 0)), nCounter))
        ts.insert(ts.end(), packet.begin(), packet.end());
    // Null packets after it, so the audio worker has delivered everything else and sleeps when
    // the end comes.
    uint8_t nNull = 0;
    for (int i = 0; i < 2000; i++) {
        Bytes packet = TsPacket(0x1FFF, false, nullptr, 0, nNull);
        ts.insert(ts.end(), packet.begin(), packet.end());
    }
    WriteFile(Path("ends.ts"), ts);
    for (int i = 0; i < 10; i++) {
        ToolRun run = Demux(Path("ends.ts"), "ends");
        ASSERT_EQ(run.status, 0) << "run " << i << ": " << run.output;
        std::string csvHeader;
        std::vector<CsvRow> rows = ReadCsv(Path("ends.csv"), &csvHeader);
        EXPECT_EQ(RowsOf(rows, "audio").size(), media->audioPts.size()) << "run " << i;
    }
}

// A damaged packet is reported as a parse error and costs only the records it touches.
TEST_F(YraDemux, CountsParseErrorsAndGoesOn) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const Media* media = GetMedia(kPlain, YRA_DEMUX_MEDIA_DIR);
    ASSERT_NE(media, nullptr);
    Register();
    Bytes damaged = media->ts;
    damaged[(damaged.size() / 188 / 2) * 188] = 0x46;
    WriteFile(Path("damaged.ts"), damaged);
    ToolRun run = Demux(Path("damaged.ts"), "damaged", 4096);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("parse errors: 1"), std::string::npos) << run.output;
    std::string header;
    std::vector<CsvRow> rows = ReadCsv(Path("damaged.csv"), &header);
    EXPECT_GE(RowsOf(rows, "video").size() + 2, media->videoDts.size());
    EXPECT_GE(RowsOf(rows, "audio").size() + 40, media->audioPts.size());
    EXPECT_LT(ReadFile(Path("damaged.h264")).size(), media->videoEs.size());
}

// Opening an output empties it, so one that is the input or another output is refused before
// anything is opened for writing, whatever name or link leads to it.
TEST_F(YraDemux, RefusesAnOutputThatIsTheInputOrAnotherOutput) {
    Register();
    uint8_t nCounter = 0;
    const Bytes packet = TsPacket(0x44, false, nullptr, 0, nCounter);
    const std::string in = Path("in.ts");
    WriteFile(in, packet);
    std::filesystem::create_symlink(in, Path("soft.ts"));
    std::filesystem::create_hard_link(in, Path("hard.ts"));
    std::filesystem::create_symlink(Path("later.h264"), Path("dangling"));
    const std::string tool = std::string(YRA_DEMUX_TOOL) + " --quiet " + Quote(in);
    const struct {
        std::string args, expected;
    } cases[] = {
        {"--video " + Quote(in), "--video " + in + " is the input file"},
        {"--audio " + Quote(Path("soft.ts")), "is the input file"},
        {"--samples " + Quote(Path("hard.ts")), "is the input file"},
        {"--video " + Quote(Path("./../" + std::filesystem::path(m_dir).filename().string() + "/in.ts")),
         "is the input file"},
        {"--video " + Quote(Path("v.h264")) + " --audio " + Quote(Path("./v.h264")),
         "is the same file as --video"},
        {"--video " + Quote(Path("later.h264")) + " --samples " + Quote(Path("dangling")),
         "is the same file as"},
    };
    for (const auto& c : cases) {
        ToolRun run = RunTool(tool + " " + c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << c.args << "\n" << run.output;
        EXPECT_EQ(ReadFile(in), packet) << c.args;
        EXPECT_FALSE(std::filesystem::exists(Path("v.h264"))) << "nothing is opened for writing";
        EXPECT_FALSE(std::filesystem::exists(Path("later.h264"))) << "nothing is opened for writing";
    }
    // A sink for everything is no clash.
    ToolRun run = RunTool(tool + " --video /dev/null --audio /dev/null");
    EXPECT_EQ(run.status, 0) << run.output;
}

// Files that are no stream, or no file at all, are refused with the reason, never taken as an
// empty stream; a FIFO is refused without waiting for a writer.
TEST_F(YraDemux, SaysWhyAnInputIsNoStream) {
    Register();
    const std::string tool = std::string(YRA_DEMUX_TOOL) + " --quiet ";
    WriteFile(Path("bye.txt"), Bytes{'G', 'o', 'o', 'd', ' ', 'b', 'y', 'e'});
    ToolRun text = RunTool(tool + Quote(Path("bye.txt")));
    EXPECT_EQ(text.status, 1) << text.output;
    EXPECT_NE(text.output.find("not recognisably an MPEG-2 transport or program stream"), std::string::npos)
        << text.output;

    std::mt19937 random(14);
    for (int i = 0; i < 20; ++i) {
        Bytes noise(50 * 1024);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(random());
        WriteFile(Path("noise.bin"), noise);
        ToolRun run = RunTool(tool + Quote(Path("noise.bin")));
        EXPECT_EQ(run.status, 1) << "random file " << i << ": " << run.output;
    }

    // Transport packets each behind a 4-byte time code.
    uint8_t nCounter = 0;
    uint8_t es[] = {0, 0, 0, 1, 0x09, 0xF0};
    Bytes pes = Pes(PesHeader{}, Bytes(es, es + sizeof(es)));
    Bytes timecoded;
    for (int i = 0; i < 10; ++i) {
        Bytes packet =
            TsPacket(0x44, i == 0, i == 0 ? pes.data() : nullptr, i == 0 ? pes.size() : 0, nCounter);
        timecoded.insert(timecoded.end(), {0x00, 0x12, 0x34, static_cast<uint8_t>(i)});
        timecoded.insert(timecoded.end(), packet.begin(), packet.end());
    }
    WriteFile(Path("timecoded.ts"), timecoded);
    ToolRun run192 = RunTool(tool + Quote(Path("timecoded.ts")));
    EXPECT_EQ(run192.status, 1) << run192.output;
    EXPECT_NE(run192.output.find("192-byte packets"), std::string::npos) << run192.output;

    ASSERT_EQ(mkfifo(Path("fifo.ts").c_str(), 0600), 0);
    ToolRun fifo = RunTool(tool + Quote(Path("fifo.ts")));
    EXPECT_EQ(fifo.status, 1) << fifo.output;
    EXPECT_NE(fifo.output.find("FIFO"), std::string::npos) << fifo.output;
    EXPECT_EQ(fifo.output.find("No such file"), std::string::npos) << fifo.output;

    std::filesystem::create_symlink("/dev/zero", Path("zero.ts"));
    ToolRun zero = RunTool(tool + Quote(Path("zero.ts")));
    EXPECT_EQ(zero.status, 1) << zero.output;
    EXPECT_NE(zero.output.find("character device"), std::string::npos) << zero.output;
}

// Past a file-size limit a write fails and is reported; the tool is not killed by the signal.
TEST_F(YraDemux, AFileSizeLimitFailsTheRunWithAMessage) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    const Media* media = GetMedia(kPlain, YRA_DEMUX_MEDIA_DIR);
    ASSERT_NE(media, nullptr);
    Register();
    ToolRun run = RunTool("ulimit -f 8 && exec " + std::string(YRA_DEMUX_TOOL) + " --quiet " + Quote(media->tsPath) +
                          " --video " + Quote(Path("limited.h264")));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("ERROR_HANDLE_DISK_FULL"), std::string::npos) << run.output;
}

// What the tool prints is its result: losing it fails the run.
TEST_F(YraDemux, AFailedWriteToStandardOutputFailsTheRun) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Register();
    const std::string one = Quote(OnePacketFile());
    ToolRun ok = RunDemux("--quiet " + one + " >/dev/null");
    EXPECT_EQ(ok.status, 0) << ok.output;
    // Grouped, so that only standard output goes to the full device.
    ToolRun full = RunTool("{ " + std::string(YRA_DEMUX_TOOL) + " --quiet " + one + " >/dev/full; }");
    EXPECT_EQ(full.status, 1) << full.output;
    EXPECT_NE(full.output.find("cannot write to standard output"), std::string::npos) << full.output;
    ToolRun help = RunTool("{ " + std::string(YRA_DEMUX_TOOL) + " --help >/dev/full; }");
    EXPECT_EQ(help.status, 1) << help.output;
}

} // namespace
