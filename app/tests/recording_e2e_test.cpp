// Recording the virtual devices through the program's rows into files that FFmpeg reads cleanly:
// two rows at once, one row started again, and files left complete when the dialog closes while
// rows record. Devices come from the device list and stream small pictures to keep this quick.
#include "app_fixture.h"
#include "e2e_support.h"
#include "fake_device_enum.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/device_filter.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The bytes a device has delivered to its dump filter, which writes in large blocks.
uint64_t Delivered(IBaseFilter* device) {
    auto stats = host::DeviceStreamStatsOf(device);
    return stats ? stats->bytesDelivered : 0;
}

class RecordingTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (!e2e::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        dir = e2e::TestDir();
    }

    // A small picture: the size does not matter here, only that the stream is whole.
    static void MakeSmall(IBaseFilter* device) {
        HDC_FILTER_PARAM p{};
        ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device, &p), S_OK);
        p.nEncodeWidth = 320;
        p.nEncodeHeight = 180;
        p.nEncodeFrameRate = 15;
        p.nBitRate = p.nBitRate2 = p.nBitRate3 = 600;
        ASSERT_EQ(YRA_HDC_SDK_SetFilterParam(device, &p), S_OK);
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

    static void ExpectPlayable(const std::string& path) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(std::filesystem::exists(std::filesystem::u8path(path)));
        EXPECT_GT(std::filesystem::file_size(std::filesystem::u8path(path)), 10000u);
        EXPECT_THAT(e2e::ProbeStreams(path), ElementsAre("aac 48000", "h264 320x180"));
        EXPECT_EQ(e2e::DecodeErrors(path), "");
    }

    std::string dir;
};

TEST_F(RecordingTest, TwoRowsRecordIntoTheirOwnFilesAndStopApart) {
    e2e::WriteDeviceList({"YRA USB Device", "YRA USB Device"});
    const std::string a = dir + "/row0.ts", b = dir + "/row1.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        ASSERT_EQ(app.GetDeviceCount(), 2);
        MakeSmall(app.GetDeviceFilter(0));
        MakeSmall(app.GetDeviceFilter(1));
        Start(dlg, 0, a);
        Start(dlg, 1, b);
        std::this_thread::sleep_for(1500ms);
        Stop(dlg, 0);
        // The other row goes on: its device keeps delivering to its dump filter.
        auto stopped = std::filesystem::file_size(a);
        auto running = Delivered(app.GetDeviceFilter(1));
        EXPECT_TRUE(RowRecording(dlg, 1));
        std::this_thread::sleep_for(700ms);
        EXPECT_EQ(std::filesystem::file_size(a), stopped);
        EXPECT_GT(Delivered(app.GetDeviceFilter(1)), running);
        Stop(dlg, 1);
    });
    EXPECT_TRUE(Boxes().empty());
    ExpectPlayable(a);
    ExpectPlayable(b);
}

TEST_F(RecordingTest, ARowRecordsAgainAfterStopWithTheSameDeviceFilter) {
    e2e::WriteDeviceList({"YRA USB Device"});
    const std::string first = dir + "/first.ts", second = dir + "/second.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        IBaseFilter* device = app.GetDeviceFilter(0);
        MakeSmall(device);
        ULONG idle = RefCount(device);
        Start(dlg, 0, first);
        std::this_thread::sleep_for(1000ms);
        Stop(dlg, 0);
        EXPECT_EQ(RefCount(device), idle);
        Start(dlg, 0, second);
        std::this_thread::sleep_for(1000ms);
        Stop(dlg, 0);
        EXPECT_EQ(RefCount(device), idle);
    });
    EXPECT_TRUE(Boxes().empty());
    ExpectPlayable(first);
    ExpectPlayable(second);
}

TEST_F(RecordingTest, ClosingWhileRowsRecordStopsThemAndLeavesCompleteFiles) {
    e2e::WriteDeviceList({"YRA USB Device", "YRA USB Device"});
    const std::string a = dir + "/closed0.ts", b = dir + "/closed1.ts";
    IBaseFilter* devices[2] = {};
    ULONG idle[2] = {};
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        for (int i = 0; i < 2; ++i) {
            devices[i] = app.GetDeviceFilter(i);
            MakeSmall(devices[i]);
            devices[i]->AddRef(); // ours, to look at the filter after the dialog has gone
            idle[i] = RefCount(devices[i]);
        }
        Start(dlg, 0, a);
        Start(dlg, 1, b);
        std::this_thread::sleep_for(1200ms);
        // The dialog closes with both rows recording.
    });
    for (int i = 0; i < 2; ++i) {
        // Only the dialog's own reference went; every graph let go of the filter.
        EXPECT_EQ(RefCount(devices[i]), idle[i] - 1);
        devices[i]->Release();
    }
    EXPECT_TRUE(Boxes().empty());
    ExpectPlayable(a);
    ExpectPlayable(b);
}

TEST_F(RecordingTest, AFileNameBeyondAsciiReachesTheDumpFilterWhole) {
    e2e::WriteDeviceList({"YRA USB Device"});
    const std::string path = dir + "/Aufnahme \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.ts";
    RunMainDialog([&](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        MakeSmall(app.GetDeviceFilter(0));
        Start(dlg, 0, path);
        std::this_thread::sleep_for(1000ms);
        Stop(dlg, 0);
    });
    EXPECT_TRUE(Boxes().empty());
    ExpectPlayable(path);
}

} // namespace
