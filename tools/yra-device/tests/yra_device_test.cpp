// The virtual device as a new user meets it, with real processes: the program open in this one,
// and yra-propsheet, yra-capture and yra-device in others. A setting applied in the sheet is
// recorded by the program; a second recorder of a device gets the busy error and a killed one
// leaves no claim behind; an unplug ends a recording with a playable file.
#include "app_fixture.h"
#include "e2e_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/device_filter.h"
#include "host/device_presence.h"
#include "host/host_root.h"

#include <gmock/gmock.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Tool(const char* name) {
    return e2e::Quote(std::string(YRA_BUILD_DIR) + "/bin/" + name);
}

// A shell command started in the background; its output goes to files.
class Background {
public:
    explicit Background(const std::string& command)
        : m_out(e2e::TestDir() + "/.bg.out"), m_err(e2e::TestDir() + "/.bg.err") {
        const std::string line =
            "exec " + command + " >" + e2e::Quote(m_out) + " 2>" + e2e::Quote(m_err) + " </dev/null";
        const char* argv[] = {"sh", "-c", line.c_str(), nullptr};
        if (posix_spawn(&m_pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
    }
    ~Background() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
    }
    bool Started() const { return m_pid > 0; }
    void Kill() { ::kill(m_pid, SIGKILL); }
    // The exit status; -1 when it did not exit normally.
    int Wait() {
        int raw = 0;
        while (::waitpid(m_pid, &raw, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Err() const { return Read(m_err); }

private:
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    pid_t m_pid = -1;
    std::string m_out, m_err;
};

// Each test meets its devices new: no device state or list kept from an earlier run.
void ForgetDevices() {
    std::error_code ignored;
    std::filesystem::remove_all(host::HostRootPath() + "/devices", ignored);
    std::filesystem::remove(host::DeviceListPath(), ignored);
}

host::DevicePresence Presence() {
    host::DevicePresence presence;
    EXPECT_EQ(host::QueryDevicePresence(host::LoadDeviceList().devices.at(0), &presence), S_OK);
    return presence;
}

// Polls what another process does to the device; the test's timeout catches a hang.
template <class Condition> bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 150s;
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return condition();
}

class DeviceAcrossProcesses : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (!e2e::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        ForgetDevices();
        e2e::WriteDeviceList({"YRA USB Device"});
        dir = e2e::TestDir();
    }

    static void Start(HWND dlg, int row, const std::string& path) {
        uitest::AnswerFileDialog(U16(path));
        ASSERT_TRUE(uitest::Click(StartButton(dlg, row)));
        ASSERT_TRUE(RowRecording(dlg, row));
    }
    static void Stop(HWND dlg, int row) {
        ASSERT_TRUE(uitest::Click(StopButton(dlg, row)));
        ASSERT_TRUE(RowIdle(dlg, row));
    }

    std::string dir;
};

TEST_F(DeviceAcrossProcesses, ASettingAppliedInTheSheetIsRecordedByTheOpenProgram) {
    auto registered = e2e::RunCommand(Tool("yra-regsvr") + " " + e2e::Quote(YRA_VIDEO_PAGES) + " " +
                                      e2e::Quote(YRA_POWER_PAGE));
    ASSERT_EQ(registered.status, 0) << registered.err;
    const std::string path = dir + "/applied.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg&) {
        // The program wrote the device's defaults when it opened; the sheet changes them now.
        auto sheet = e2e::RunCommand(
            Tool("yra-propsheet") +
            " --set Width=1280 --set Height=720 --set 'Video Properties/Bitrate=2000' --apply");
        ASSERT_EQ(sheet.status, 0) << sheet.out << sheet.err;
        EXPECT_THAT(sheet.out, HasSubstr("Apply: done"));
        Start(dlg, 0, path);
        std::this_thread::sleep_for(1s);
        Stop(dlg, 0);
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{});
    EXPECT_THAT(e2e::ProbeStreams(path), ElementsAre("aac 48000", "h264 1280x720"));
    EXPECT_EQ(e2e::DecodeErrors(path), "");
}

TEST_F(DeviceAcrossProcesses, TheProgramsSettingsDialogAndTheSheetSeeOneDevice) {
    auto registered = e2e::RunCommand(Tool("yra-regsvr") + " " + e2e::Quote(YRA_VIDEO_PAGES) + " " +
                                      e2e::Quote(YRA_POWER_PAGE));
    ASSERT_EQ(registered.status, 0) << registered.err;
    // The program's settings dialog, driven by yra-capture, writes; the sheet, later and in
    // another process, reads what it wrote.
    auto capture = e2e::RunCommand(Tool("yra-capture") +
                                   " --settings 0 input=1280x720_60P encode=640x480_60P bitrate=3000");
    ASSERT_EQ(capture.status, 0) << capture.err;
    auto sheet = e2e::RunCommand(Tool("yra-propsheet") + " --dump");
    ASSERT_EQ(sheet.status, 0) << sheet.err;
    EXPECT_THAT(sheet.out, HasSubstr("Width                  640  (id 210)"));
    EXPECT_THAT(sheet.out, HasSubstr("Bitrate                3000"));
}

TEST_F(DeviceAcrossProcesses, ASecondRecorderIsToldTheDeviceIsBusyAndAKilledOneLeavesNoClaim) {
    Background first(Tool("yra-capture") + " --settings 0 input=640x480_60P bitrate=1000 --record 0:" +
                     e2e::Quote(dir + "/first.ts") + " --duration 120");
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(Eventually([] { return Presence().streaming; })) << first.Err();

    auto second = e2e::RunCommand(Tool("yra-capture") + " --record 0:" + e2e::Quote(dir + "/second.ts") +
                                  " --duration 0.2");
    EXPECT_EQ(second.status, 1);
    EXPECT_THAT(second.err,
                HasSubstr("error box \"OnBtnClickedStart()\": Run() failed, HRESULT = 0x800700AA."));

    // Killed outright: the system ends its claim with it, and the device records here at once.
    first.Kill();
    first.Wait();
    EXPECT_FALSE(Presence().streaming);
    const std::string path = dir + "/after.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        Start(dlg, 0, path);
        EXPECT_TRUE(Eventually(
            [&] { return host::DeviceStreamStatsOf(app.GetDeviceFilter(0))->samplesDelivered > 0; }));
        Stop(dlg, 0);
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{});
}

TEST_F(DeviceAcrossProcesses, UnpluggedWhileRecordingTheFilePlaysToThatMomentAndTheToolSaysSo) {
    const std::string path = dir + "/unplugged.ts";
    Background capture(Tool("yra-capture") + " --settings 0 input=640x480_60P bitrate=1000 --record 0:" +
                       e2e::Quote(path) + " --duration 120");
    ASSERT_TRUE(capture.Started());
    ASSERT_TRUE(Eventually([] { return Presence().streaming; })) << capture.Err();
    std::this_thread::sleep_for(1s);

    auto unplug = e2e::RunCommand(Tool("yra-device") + " unplug 0");
    EXPECT_EQ(unplug.status, 0) << unplug.err;
    EXPECT_EQ(unplug.out, "0: YRA USB Device unplugged\n");
    EXPECT_EQ(capture.Wait(), 1); // well before its 120 s
    EXPECT_THAT(capture.Err(),
                HasSubstr("row 0: the device was unplugged; the recording to " + path + " ends there"));
    EXPECT_THAT(e2e::ProbeStreams(path), ElementsAre("aac 48000", "h264 640x480"));
    EXPECT_EQ(e2e::DecodeErrors(path), "");

    EXPECT_EQ(e2e::RunCommand(Tool("yra-device") + " list").out, "0: unplugged  idle       YRA USB Device\n");
    auto listing = e2e::RunCommand(Tool("yra-capture") + " --list");
    EXPECT_THAT(listing.err, HasSubstr("No Device."));

    auto plug = e2e::RunCommand(Tool("yra-device") + " plug 'yra usb device'");
    EXPECT_EQ(plug.status, 0);
    EXPECT_EQ(plug.out, "0: YRA USB Device plugged in (default settings)\n");
    EXPECT_EQ(e2e::RunCommand(Tool("yra-device") + " list").out, "0: plugged    idle       YRA USB Device\n");
}

TEST_F(DeviceAcrossProcesses, TheProgramsRowRecordsOnAfterAnUnplugUntilStopWhichStillWorks) {
    const std::string path = dir + "/row.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        IBaseFilter* device = app.GetDeviceFilter(0);
        HDC_FILTER_PARAM p{};
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device, &p), S_OK);
        p.nEncodeWidth = 320;
        p.nEncodeHeight = 180;
        p.nBitRate = p.nBitRate2 = p.nBitRate3 = 600;
        ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device, &p), S_OK);
        Start(dlg, 0, path);
        ASSERT_TRUE(Eventually([&] { return host::DeviceStreamStatsOf(device)->samplesDelivered > 10; }));
        ASSERT_EQ(e2e::RunCommand(Tool("yra-device") + " unplug 0").status, 0);
        EXPECT_TRUE(Eventually([&] { return host::DeviceStreamStatsOf(device)->deviceLost; }));
        EXPECT_TRUE(RowRecording(dlg, 0)); // the program handles no graph events
        Stop(dlg, 0);
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{});
    EXPECT_THAT(e2e::ProbeStreams(path), ElementsAre("aac 48000", "h264 320x180"));
    EXPECT_EQ(e2e::DecodeErrors(path), "");
}

TEST(YraDeviceUsage, HelpMistakesAndUnknownDevices) {
    ForgetDevices();
    auto help = e2e::RunCommand(Tool("yra-device") + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("yra-device unplug DEVICE"));
    for (const char* wrong : {"", "bogus", "list 0", "unplug", "plug a b"}) {
        SCOPED_TRACE(wrong);
        auto r = e2e::RunCommand(Tool("yra-device") + " " + wrong);
        EXPECT_EQ(r.status, 2);
        EXPECT_THAT(r.err, HasSubstr("yra-device --help"));
    }
    e2e::WriteDeviceList({"Cam"});
    auto unknown = e2e::RunCommand(Tool("yra-device") + " unplug 'No Such'");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_THAT(unknown.err, HasSubstr("no device 'No Such'"));
    EXPECT_EQ(e2e::RunCommand(Tool("yra-device") + " reset 3").status, 1);
    EXPECT_EQ(e2e::RunCommand(Tool("yra-device") + " unplug cam").status, 0);
    auto reset = e2e::RunCommand(Tool("yra-device") + " reset cam");
    EXPECT_EQ(reset.status, 1);
    EXPECT_THAT(reset.err, HasSubstr("it is unplugged"));
    EXPECT_EQ(e2e::RunCommand(Tool("yra-device") + " unplug cam").out, "0: Cam was already unplugged\n");

    // Without any root there is no list to name: say what to set.
    auto rootless =
        e2e::RunCommand("env -u YRA_HOST_ROOT -u XDG_DATA_HOME -u HOME " + Tool("yra-device") + " list");
    EXPECT_EQ(rootless.status, 1);
    EXPECT_THAT(rootless.err, HasSubstr("set YRA_HOST_ROOT"));
    EXPECT_THAT(rootless.err, Not(HasSubstr("listed in \n")));
}

} // namespace
