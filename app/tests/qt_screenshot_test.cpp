// The program's dialogs under the Qt driver (offscreen): the main dialog with two devices and
// the encode settings dialog open over it, grabbed to PNG for the documentation.
#include "YRA_HD_Capture_APDlg.h"
#include "fake_device_enum.h"

#include "host/ui_qt.h"
#include "host/ui_test.h"
#include "plat/com.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr UINT WM_SHOOT_MAIN = WM_APP + 10;
constexpr UINT WM_SHOOT_SETTINGS = WM_APP + 11;

std::string ShotDir() {
    const char* dir = std::getenv("YRA_UI_SCREENSHOT_DIR");
    std::string path = dir && *dir ? dir : (std::filesystem::temp_directory_path() / "yra-screenshots").string();
    std::filesystem::create_directories(path);
    return path;
}

// The main dialog, grabbing itself once shown, then pressing Set on the first row and grabbing
// the settings dialog from inside its modal loop.
class CShotDlg : public CYRA_HD_Capture_APDlg {
public:
    std::string m_dir;
    bool m_bMainShot = false;
    bool m_bSettingsShot = false;

protected:
    BOOL OnInitDialog() override {
        BOOL focus = CYRA_HD_Capture_APDlg::OnInitDialog();
        PostMessage(WM_SHOOT_MAIN);
        return focus;
    }
    afx_msg LRESULT OnShootMain(WPARAM, LPARAM) {
        m_bMainShot = host::ui::Screenshot(m_hWnd, m_dir + "/main_dialog.png");
        PostMessage(WM_SHOOT_SETTINGS);
        host::ui::UserClick(::GetDlgItem(m_hWnd, IDC_SET_BASE));
        EndDialog(IDOK);
        return 0;
    }
    afx_msg LRESULT OnShootSettings(WPARAM, LPARAM) {
        HWND settings = host::ui::test::FindTopLevel(u"Encode Setting");
        if (!settings) return 0;
        m_bSettingsShot = host::ui::Screenshot(settings, m_dir + "/encode_setting.png");
        ::EndDialog(settings, IDCANCEL);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CShotDlg, CYRA_HD_Capture_APDlg)
ON_MESSAGE(WM_SHOOT_MAIN, &CShotDlg::OnShootMain)
ON_MESSAGE(WM_SHOOT_SETTINGS, &CShotDlg::OnShootSettings)
END_MESSAGE_MAP()

TEST(QtScreenshots, MainDialogWithTwoDevicesAndTheSettingsDialog) {
    // Linked rather than opened at run time, so that Qt's thread-local storage is the
    // program's own (the leak checker cannot walk that of modules opened later).
    host::ui::SetDriver(host::ui::qt::CreateDriver());
    ASSERT_STREQ(host::ui::CurrentDriver().Name(), "qt");
    CoInitialize(nullptr);
    FakeDeviceEnumerator devices;
    devices.Add();
    devices.Add();
    std::string dir = ShotDir();
    {
        CShotDlg dlg;
        dlg.m_dir = dir;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(dlg.m_bMainShot);
        EXPECT_TRUE(dlg.m_bSettingsShot);
    }
    EXPECT_GT(std::filesystem::file_size(dir + "/main_dialog.png"), 1000u);
    EXPECT_GT(std::filesystem::file_size(dir + "/encode_setting.png"), 1000u);
    EXPECT_TRUE(host::ui::MessageBoxLog().empty());
}

} // namespace
