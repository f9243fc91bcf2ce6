// The encode settings dialog against the device model: what it shows from the device, what OK
// writes, and how it reports the device's failures.
#include "app_fixture.h"
#include "fake_device_enum.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/device_ks.h"
#include "host/device_model.h"
#include "plat/ks.h"

#include <memory>

namespace {

using host::PropertyAccess;

class SettingsDialogTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        model = std::make_shared<host::DeviceModel>();
        ASSERT_EQ(host::CreateDeviceControlFilter(model, &filter), S_OK);
        ASSERT_EQ(YRA_HDC_SDK_InitializeFilterParam(filter), S_OK);
        model->ClearCalls();
    }
    void TearDown() override {
        SafeRelease(filter);
        AppTest::TearDown();
    }

    // Runs the dialog over the device with `script`; the script should end it.
    INT_PTR RunSettings(const std::function<void(HWND)>& script) {
        CYRA_HD_Capture_Dlg_Encode_Setting dlg(filter);
        uitest::OnNextModal([&](HWND hwnd) {
            script(hwnd);
            if (IsWindow(hwnd) && !host::ui::IsModalEnded(hwnd)) uitest::Click(hwnd, IDCANCEL);
        });
        return dlg.DoModal();
    }

    // The encoder settings written since the calls were last cleared.
    int EncoderSets() const {
        int n = 0;
        for (const auto& call : model->Calls())
            if (call.access == PropertyAccess::Set && call.set == PROPSETID_HDC_ENCODER) ++n;
        return n;
    }

    HDC_FILTER_PARAM Read() const {
        HDC_FILTER_PARAM param{};
        EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(filter, &param), S_OK);
        return param;
    }

    std::shared_ptr<host::DeviceModel> model;
    IBaseFilter* filter = nullptr;
};

TEST_F(SettingsDialogTest, ShowsWhatTheDeviceReports) {
    model->SetFirmwareVersion(2, 7);
    RunSettings([](HWND dlg) {
        EXPECT_EQ(uitest::Text(dlg), u"Encode Setting");
        EXPECT_EQ(uitest::Text(uitest::Item(dlg, IDC_STATIC_MCU_VERSION)), u"MCU Version: 2.7\n");
        EXPECT_EQ(uitest::Items(uitest::Item(dlg, IDC_COMBO_SAMPLE_RATE)),
                  (std::vector<std::u16string>{u"44.1 KHz", u"48 KHz"}));
        EXPECT_EQ(uitest::Items(uitest::Item(dlg, IDC_COMBO_VOLUME)).size(), 16u);
        EXPECT_EQ(uitest::Items(uitest::Item(dlg, IDC_COMBO_VOLUME))[15], u"15");
        EXPECT_EQ(uitest::Items(uitest::Item(dlg, IDC_COMBO_ENCODE_BITRATE)),
                  (std::vector<std::u16string>{u" 1000 kbps", u" 3000 kbps", u" 5000 kbps", u" 7000 kbps",
                                               u" 9000 kbps", u"10000 kbps", u"20000 kbps", u"30000 kbps"}));
        auto inputs = uitest::Items(uitest::Item(dlg, IDC_COMBO_INPUT_RESOLUTION));
        ASSERT_EQ(inputs.size(), 22u);
        EXPECT_EQ(inputs[0], u"Unknown Resolution");
        EXPECT_EQ(inputs[15], u"1920 x 1080 50I");
        // The SDK's defaults as the device holds them.
        EXPECT_EQ(uitest::Check(uitest::Item(dlg, IDC_CHECK_AUDIO_ENABLE)), BST_CHECKED);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_SAMPLE_RATE)), 1);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_VOLUME)), 10);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_ENCODE_BITRATE)), 7);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_INPUT_RESOLUTION)), 21);
        HWND encode = uitest::Item(dlg, IDC_COMBO_ENCODE_RESOLUTION);
        EXPECT_EQ(uitest::Items(encode).size(), 16u);
        EXPECT_EQ(uitest::Selection(encode), 15);
    });
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(EncoderSets(), 0);
}

TEST_F(SettingsDialogTest, TheHdmiCodeSelectsTheInputRow) {
    const struct {
        uint8_t code;
        int row;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {16, 15}, {22, 21}, {23, 0}, {255, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.code));
        model->SetHdmiCode(c.code);
        RunSettings([&](HWND dlg) {
            EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_INPUT_RESOLUTION)), c.row);
            HWND encode = uitest::Item(dlg, IDC_COMBO_ENCODE_RESOLUTION);
            // The encode list follows the input: 1920 x 1080 50I allows fourteen entries.
            if (c.code == 16) EXPECT_EQ(uitest::Items(encode).size(), 14u);
            EXPECT_EQ(uitest::Selection(encode), int(uitest::Items(encode).size()) - 1);
        });
    }
}

TEST_F(SettingsDialogTest, ChangingTheInputRebuildsTheEncodeList) {
    RunSettings([](HWND dlg) {
        HWND encode = uitest::Item(dlg, IDC_COMBO_ENCODE_RESOLUTION);
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 7)); // 1280 x 720 50P
        EXPECT_EQ(uitest::Items(encode), (std::vector<std::u16string>{u"640 x 480 50P", u"720 x 480 50P",
                                                                      u"720 x 576 50P", u"800 x 600 50P",
                                                                      u"1280 x 720 50P"}));
        EXPECT_EQ(uitest::Selection(encode), 4);
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 2)); // 640 x 480 60P
        EXPECT_EQ(uitest::Items(encode), std::vector<std::u16string>{u"640 x 480 60P"});
        EXPECT_EQ(uitest::Selection(encode), 0);
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 1)); // no signal: everything
        EXPECT_EQ(uitest::Items(encode).size(), 16u);
        EXPECT_EQ(uitest::Text(encode), u"1920 x 1080 30P");
    });
}

TEST_F(SettingsDialogTest, OkWritesTheChosenSettings) {
    INT_PTR result = RunSettings([](HWND dlg) {
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 7)); // 1280 x 720 50P
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_ENCODE_RESOLUTION, 2)); // 720 x 576 50P
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_SAMPLE_RATE, 0));
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_VOLUME, 3));
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_ENCODE_BITRATE, 2)); // 5000 kbps
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(Boxes().empty());
    HDC_FILTER_PARAM p = Read();
    EXPECT_EQ(p.bAudioEnable, 1);
    EXPECT_EQ(p.nAudioSampleRate, 0u);
    EXPECT_EQ(p.nAudioVolume, 3u);
    EXPECT_EQ(p.nInputWidth, 1280u);
    EXPECT_EQ(p.nInputHeight, 720u);
    EXPECT_EQ(p.nInputFrameRate, 50u);
    EXPECT_EQ(p.bInputProgressive, 1u);
    EXPECT_EQ(p.nEncodeWidth, 720u);
    EXPECT_EQ(p.nEncodeHeight, 576u);
    EXPECT_EQ(p.nEncodeFrameRate, 50u);
    EXPECT_EQ(p.nBitRate, 5000u);
    EXPECT_EQ(p.nBitRate2, 5000u);
    EXPECT_EQ(p.nBitRate3, 5000u);

    // Audio off and an interlaced input; the dialog then shows what was written.
    RunSettings([](HWND dlg) {
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_VOLUME)), 3);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_ENCODE_BITRATE)), 2);
        ASSERT_TRUE(uitest::Click(dlg, IDC_CHECK_AUDIO_ENABLE));
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 16)); // 1920 x 1080 60I
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
    });
    p = Read();
    EXPECT_EQ(p.bAudioEnable, 0);
    EXPECT_EQ(p.nAudioSampleRate, 1u); // audio off writes the 48 kHz code whatever was chosen
    EXPECT_EQ(p.nInputFrameRate, 60u);
    EXPECT_EQ(p.bInputProgressive, 0u);
    EXPECT_EQ(p.nEncodeWidth, 1920u);
    EXPECT_EQ(p.nEncodeFrameRate, 30u);
}

TEST_F(SettingsDialogTest, ABitRateNotInTheListIsShownAsNoneAndWrittenAsZero) {
    model->Store(PROPSETID_HDC_ENCODER, 3, 20, 15000);
    RunSettings([](HWND dlg) {
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_ENCODE_BITRATE)), CB_ERR);
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
    });
    HDC_FILTER_PARAM p = Read();
    EXPECT_EQ(p.nBitRate, 0u);
    EXPECT_EQ(p.nBitRate2, 0u);
    EXPECT_EQ(p.nBitRate3, 0u);
}

TEST_F(SettingsDialogTest, OkWithoutAUsableInputWritesNothingAndStaysOpen) {
    HWND settings = nullptr;
    INT_PTR result = RunSettings([&](HWND dlg) {
        settings = dlg;
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 0));
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
        EXPECT_FALSE(host::ui::IsModalEnded(dlg));
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_INPUT_RESOLUTION, 1));
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
        EXPECT_FALSE(host::ui::IsModalEnded(dlg));
        ASSERT_TRUE(uitest::Click(dlg, IDCANCEL));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(EncoderSets(), 0);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"Unknown resolution.");
    EXPECT_EQ(boxes[1].text, u"No HDMI Signal.");
    for (const auto& box : boxes) {
        EXPECT_EQ(box.icon(), UINT(MB_ICONEXCLAMATION));
        EXPECT_EQ(box.owner, settings);
    }
}

TEST_F(SettingsDialogTest, DeviceInformationFailuresLeaveTheDialogUsable) {
    // The MCU channel carries both the version and the receiver's resolution.
    model->Refuse(PROPSETID_HDC_DEVICE, 2, PropertyAccess::Get, E_FAIL);
    RunSettings([](HWND dlg) {
        EXPECT_EQ(uitest::Text(uitest::Item(dlg, IDC_STATIC_MCU_VERSION)), u"MCU Version: Get version failed.\n");
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_INPUT_RESOLUTION)), CB_ERR);
        EXPECT_EQ(uitest::Items(uitest::Item(dlg, IDC_COMBO_ENCODE_RESOLUTION)).size(), 16u);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_VOLUME)), 10);
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
        EXPECT_FALSE(host::ui::IsModalEnded(dlg));
    });
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Unknown resolution."});
    EXPECT_EQ(EncoderSets(), 0);
}

TEST_F(SettingsDialogTest, AReadFailureIsReportedAndTheControlsStayUnset) {
    model->Refuse(PROPSETID_HDC_ENCODER, 12, PropertyAccess::Get, E_ACCESSDENIED);
    HWND settings = nullptr;
    INT_PTR result = RunSettings([&](HWND dlg) {
        settings = dlg;
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_VOLUME)), CB_ERR);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_ENCODE_BITRATE)), CB_ERR);
        EXPECT_EQ(uitest::Check(uitest::Item(dlg, IDC_CHECK_AUDIO_ENABLE)), BST_UNCHECKED);
        EXPECT_EQ(uitest::Selection(uitest::Item(dlg, IDC_COMBO_INPUT_RESOLUTION)), 21);
        // The write reads the same properties first, so it fails too, and the dialog closes.
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"Get filter setting failed, HRESULT = 0x80070005\n");
    EXPECT_EQ(boxes[0].caption, u"OnInitDialog()");
    EXPECT_EQ(boxes[1].text, u"Set filter parameter failed, HRESULT = 0x80070005.\n");
    EXPECT_EQ(boxes[1].caption, u"OnBnClickedOk()");
    for (const auto& box : boxes) {
        EXPECT_EQ(box.icon(), UINT(MB_ICONERROR));
        EXPECT_EQ(box.owner, settings);
    }
    EXPECT_EQ(EncoderSets(), 0);
}

TEST_F(SettingsDialogTest, AWriteFailureIsReportedAndTheDialogCloses) {
    model->Refuse(PROPSETID_HDC_ENCODER, 11, PropertyAccess::Set, E_FAIL);
    INT_PTR result = RunSettings([](HWND dlg) {
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_ENCODE_BITRATE, 0));
        ASSERT_TRUE(uitest::Click(dlg, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Set filter parameter failed, HRESULT = 0x80004005.\n"});
    EXPECT_EQ(Boxes()[0].caption, u"OnBnClickedOk()");
    // What was written before the refused property stays written.
    EXPECT_EQ(Read().nBitRate, 1000u);
}

TEST_F(SettingsDialogTest, CancelWritesNothing) {
    INT_PTR result = RunSettings([](HWND dlg) {
        ASSERT_TRUE(uitest::Select(dlg, IDC_COMBO_VOLUME, 0));
        ASSERT_TRUE(uitest::Click(dlg, IDCANCEL));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(EncoderSets(), 0);
    EXPECT_EQ(Read().nAudioVolume, 10u);
}

TEST_F(SettingsDialogTest, TheSetButtonOpensTheDialogForItsOwnRow) {
    FakeDeviceEnumerator devices;
    devices.Add().model->SetFirmwareVersion(1, 1);
    devices.Add().model->SetFirmwareVersion(4, 2);
    RunMainDialog([](HWND dlg, CYRA_HD_Capture_APDlg&) {
        for (int row : {1, 0}) {
            std::u16string shown;
            uitest::OnNextModal([&](HWND settings) {
                shown = uitest::Text(uitest::Item(settings, IDC_STATIC_MCU_VERSION));
                uitest::Click(settings, IDCANCEL);
            });
            ASSERT_TRUE(uitest::Click(SetButton(dlg, row)));
            EXPECT_EQ(shown, row == 1 ? u"MCU Version: 4.2\n" : u"MCU Version: 1.1\n");
        }
    });
}

} // namespace
