// yra-capture as a script would run it: its usage, the rows, settings, recording with progress,
// and its exit status when the program reports an error.
#include "e2e_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kTool = e2e::Quote(std::string(YRA_BUILD_DIR) + "/bin/yra-capture");

e2e::CommandResult Capture(const std::string& args) {
    return e2e::RunCommand(kTool + " " + args);
}

TEST(YraCaptureUsage, HelpAndMistakes) {
    auto help = Capture("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("--record ROW:FILE"));
    EXPECT_THAT(help.out, HasSubstr("--settings ROW"));

    for (const char* wrong : {"", "--bogus", "--record 0", "--record x:a.ts", "--duration 3", "--record 0:a.ts --duration x",
                              "--settings 0", "--settings 0 volume", "--record 0:a.ts --record 0:b.ts"}) {
        SCOPED_TRACE(wrong);
        auto r = Capture(wrong);
        EXPECT_EQ(r.status, 2);
        EXPECT_THAT(r.err, HasSubstr("yra-capture --help"));
    }
}

TEST(YraCaptureRows, ListShowsTheRowsAsTheDialogDoes) {
    e2e::WriteDeviceList({"YRA USB Device", "Other Device", "YRA USB Device"});
    auto r = Capture("--list");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "YRA HD Capture AP Ver = 20150415, SDK Ver = 20150303\n"
                     "row 0: YRA Capture Device  Set enabled  Start enabled  Stop disabled\n"
                     "row 1: YRA Capture Device  Set enabled  Start enabled  Stop disabled\n");
    EXPECT_EQ(r.err, "");
}

TEST(YraCaptureRows, MessageBoxesArePrintedAndAnErrorFailsTheRun) {
    e2e::WriteDeviceList({"YRA USB Device; fail=ENC:72:set:0x80004005"});
    auto r = Capture("--list");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("error box \"OnInitDialog()\": Initialize device failed, HRESULT = 0x80004005."));
    EXPECT_THAT(r.out, HasSubstr("row 0: YRA Capture Device"));

    e2e::WriteDeviceList({"Other Device"});
    r = Capture("--record 0:" + e2e::Quote(e2e::TestDir() + "/none.ts") + " --duration 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("information box \"OnInitDialog()\": No Device."));
    EXPECT_THAT(r.err, HasSubstr("there is no row 0"));
}

TEST(YraCaptureSettings, ChoicesAreShownAndValuesNotOfferedRefused) {
    e2e::WriteDeviceList({"YRA USB Device; hdmi=9; mcu=2.5"});
    auto r = Capture("--settings 0 encode=640x480_60P bitrate=3000 volume=4 audio=off rate=44.1 input=1280x720_60P");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "row 0: MCU Version: 2.5; audio off; sample rate 44.1 KHz; volume 4; input 1280 x 720 60P; "
                     "encode 640 x 480 60P; bit rate 3000 kbps\n");

    r = Capture("--settings 0 input=1280x720_60P encode=1920x1080_30P");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("encode=1920x1080_30P is not offered"));

    r = Capture("--settings 0 input='No HDMI Signal'");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("warning box \"YRA_HD_Capture_AP\": No HDMI Signal."));
    EXPECT_THAT(
        r.err,
        HasSubstr("row 0: the encode settings dialog refused OK (\"No HDMI Signal.\"); nothing was written"));
}

// A receiver code the dialog has no row for: the failure says why, in the words of its box.
TEST(YraCaptureSettings, AnUnknownInputResolutionIsExplained) {
    e2e::WriteDeviceList({"YRA USB Device; hdmi=99"});
    auto r = Capture("--settings 0 volume=4");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("input Unknown Resolution"));
    EXPECT_THAT(
        r.err,
        HasSubstr(
            "row 0: the encode settings dialog refused OK (\"Unknown resolution.\"); nothing was written"));
}

// Names the program cannot hold as text are refused before anything is made.
TEST(YraCaptureRecording, ANameThatIsNotUtf8IsRefused) {
    e2e::WriteDeviceList({"YRA USB Device"});
    const std::string dir = e2e::TestDir() + "/names";
    std::filesystem::create_directories(dir);
    auto r = Capture("--record 0:" + e2e::Quote(dir + "/caf\xE9.ts") + " --duration 0.2");
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("caf\\xE9.ts is not valid UTF-8 (byte 0xE9 at offset"));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(YraCaptureRecording, RecordsWithProgressIntoAPlayableFile) {
    if (!e2e::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    e2e::WriteDeviceList({"YRA USB Device", "YRA USB Device"});
    const std::string a = e2e::TestDir() + "/tool0.ts", b = e2e::TestDir() + "/tool1.ts";
    auto r = Capture("--settings 0 input=640x480_60P bitrate=1000 --settings 1 input=720x576_50P encode=640x480_50P "
                     "bitrate=1000 --record 0:" +
                     e2e::Quote(a) + " --record 1:" + e2e::Quote(b) + " --duration 1.5");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("recording"));
    EXPECT_THAT(r.err, HasSubstr("Mbit/s"));
    EXPECT_THAT(r.err, HasSubstr("row 0: " + a + ": "));
    EXPECT_THAT(r.err, HasSubstr("row 1: " + b + ": "));
    EXPECT_THAT(r.err, Not(HasSubstr(" box ")));
    EXPECT_THAT(e2e::ProbeStreams(a), ElementsAre("aac 48000", "h264 640x480"));
    EXPECT_THAT(e2e::ProbeStreams(b), ElementsAre("aac 48000", "h264 640x480"));
    EXPECT_EQ(e2e::DecodeErrors(a), "");
    EXPECT_EQ(e2e::DecodeErrors(b), "");
}

// The file dialog adds .ts to a name without an extension: the tool reports on that file and
// says so. A folder is not a file to record into.
TEST(YraCaptureRecording, ReportsOnTheFileActuallyWrittenAndRefusesAFolder) {
    e2e::WriteDeviceList({"YRA USB Device"});
    const std::string base = e2e::TestDir() + "/plain";
    auto r = Capture("--record 0:" + e2e::Quote(base) + " --duration 1.5");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("row 0: recording into " + base + ".ts (the file dialog adds .ts"));
    EXPECT_THAT(r.err, HasSubstr("row 0: " + base + ".ts: "));
    EXPECT_THAT(r.err, Not(HasSubstr("nothing was written")));
    EXPECT_GT(std::filesystem::file_size(base + ".ts"), 0u);
    EXPECT_FALSE(std::filesystem::exists(base));

    const std::string folder = e2e::TestDir() + "/folder";
    std::filesystem::create_directories(folder);
    r = Capture("--record 0:" + e2e::Quote(folder) + " --duration 0.2");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("row 0: " + folder + " is a folder"));
    EXPECT_FALSE(std::filesystem::exists(folder + ".ts"));
}

// Two recordings into one file: the second is told the file is in use, the first stays whole.
TEST(YraCaptureRecording, AFileAnotherRecordingHoldsIsInUse) {
    if (!e2e::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    e2e::WriteDeviceList({"YRA USB Device", "YRA USB Device"});
    const std::string file = e2e::TestDir() + "/both.ts";
    auto r = Capture("--settings 0 input=640x480_60P bitrate=1000 --record 0:" + e2e::Quote(file) +
                     " --record 1:" + e2e::Quote(file) + " --duration 1.5");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("ERROR_SHARING_VIOLATION): the file is in use by another recording"));
    EXPECT_THAT(r.err, HasSubstr("row 1: recording to " + file + " did not start"));
    EXPECT_THAT(e2e::ProbeStreams(file), ElementsAre("aac 48000", "h264 640x480"));
    EXPECT_EQ(e2e::DecodeErrors(file), "");
}

// Past a file-size limit the write fails and is reported; the process is not killed, and the
// file holds a playable recording up to the limit.
TEST(YraCaptureRecording, AFileSizeLimitIsReportedAndLeavesAPlayableFile) {
    if (!e2e::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    e2e::WriteDeviceList({"YRA USB Device"});
    const std::string file = e2e::TestDir() + "/limited.ts";
    auto r = e2e::RunCommand("ulimit -f 1024 && exec " + kTool + " --record 0:" + e2e::Quote(file) +
                             " --duration 3");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(
        r.err,
        HasSubstr("ERROR_DISK_FULL): the disk is full, or the file reached this process's size limit"));
    EXPECT_THAT(e2e::ProbeStreams(file), ElementsAre("aac 48000", "h264 1920x1080"));
}

} // namespace
