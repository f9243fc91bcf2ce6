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

e2e::CommandResult Capture(const std::string& args) {
    return e2e::RunCommand(e2e::Quote(std::string(YRA_BUILD_DIR) + "/bin/yra-capture") + " " + args);
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

} // namespace
