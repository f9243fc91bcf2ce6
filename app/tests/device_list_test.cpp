// Start-up over the host's own device enumerator and device list: which names get rows, the
// limit of eight, and a device refusing its initialisation.
#include "app_fixture.h"
#include "e2e_support.h"

namespace {

class DeviceListStartupTest : public AppTest {};

TEST_F(DeviceListStartupTest, OnlyDevicesNamedExactlyGetRows) {
    e2e::WriteDeviceList({"yra usb device", "YRA USB Device", "YRA USB Device (2)", "YRA USB Devic", "YRA USB Device"});
    RunMainDialog([](HWND, CYRA_HD_Capture_APDlg& app) { EXPECT_EQ(app.GetDeviceCount(), 2); });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DeviceListStartupTest, WithoutADeviceListTheBuiltInDeviceHasARow) {
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 1);
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DeviceListStartupTest, TenListedDevicesShowEight) {
    e2e::WriteDeviceList(std::vector<std::string>(10, "YRA USB Device"));
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 8);
        EXPECT_TRUE(RowIdle(dlg, 7));
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{
                              u"Devices number over maximum limit.\nMaximum Limit = 8.\nCurrent Number = 10.\n"});
}

TEST_F(DeviceListStartupTest, ADeviceRefusingItsSettingsStillGetsARow) {
    e2e::WriteDeviceList({"YRA USB Device; fail=ENC:72:set:0x80070005", "YRA USB Device"});
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg& app) {
        EXPECT_EQ(app.GetDeviceCount(), 2);
        EXPECT_TRUE(RowIdle(dlg, 0));
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Initialize device failed, HRESULT = 0x80070005.\n"});
    EXPECT_EQ(Boxes()[0].icon(), UINT(MB_ICONERROR));
}

} // namespace
