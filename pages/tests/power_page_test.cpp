// The power-line page: the button of the device's code, and a choice written the moment it is
// made.
#include "interposed_device.h"
#include "page_fixture.h"
#include "pages/power/resource.h"

namespace page_testing {
namespace {

constexpr ULONG kPowerLine = KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY;

class PowerPageTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        page = CreatePage(CLSID_PowerLinePage);
    }
    void TearDown() override {
        SafeRelease(page);
        PageTest::TearDown();
    }
    HWND OpenWithCode(uint32_t code) {
        device.model->Store(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, 0, code);
        device.model->ClearCalls();
        return Open(page, device);
    }
    std::vector<int> Checked(HWND window) {
        std::vector<int> ids;
        for (int id : {IDC_50HZ, IDC_60HZ, IDC_OUTDOOR})
            if (ui::Check(ui::Item(window, id)) == BST_CHECKED) ids.push_back(id);
        return ids;
    }
    uint32_t DeviceCode() { return device.model->StoredWord(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, 0); }
    std::vector<PropertyCall> Writes() {
        return device.Calls(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, PropertyAccess::Set);
    }

    Device device;
    IPropertyPage* page = nullptr;
};

TEST_F(PowerPageTest, ChecksTheButtonOfTheDevicesCode) {
    const std::pair<uint32_t, int> cases[] = {{0, IDC_OUTDOOR}, {1, IDC_50HZ}, {2, IDC_60HZ}, {3, IDC_60HZ}};
    for (auto [code, button] : cases) {
        HWND window = OpenWithCode(code);
        EXPECT_EQ(Checked(window), std::vector<int>{button}) << "code " << code;
        EXPECT_TRUE(Writes().empty()) << "showing the code wrote it";
        page->Deactivate();
        page->SetObjects(0, nullptr);
        page->SetPageSite(nullptr);
    }
}

TEST_F(PowerPageTest, AnUnreadableSettingChecksNoButton) {
    device.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, PropertyAccess::Get, E_FAIL);
    HWND window = OpenWithCode(2);
    EXPECT_TRUE(Checked(window).empty());
}

TEST_F(PowerPageTest, AChoiceIsWrittenAtOnceAndNeverLeavesThePageDirty) {
    HWND window = OpenWithCode(1);
    ASSERT_TRUE(ui::Click(window, IDC_60HZ));
    std::vector<PropertyCall> writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].instanceSize, 16u);
    EXPECT_EQ(writes[0].dataSize, 40u);
    EXPECT_EQ(Word(writes[0], 20), KSPROPERTY_TYPE_SET) << "the record's header";
    EXPECT_EQ(Word(writes[0], 24), 2) << "the record's value";
    EXPECT_EQ(DeviceCode(), 2u);
    EXPECT_EQ(Checked(window), std::vector<int>{IDC_60HZ});
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_TRUE(site.statusChanges.empty());
    device.model->ClearCalls();
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_TRUE(device.model->Calls().empty());
}

TEST_F(PowerPageTest, OutdoorIsShownButCannotBeChosen) {
    HWND window = OpenWithCode(0);
    EXPECT_FALSE(ui::Enabled(ui::Item(window, IDC_OUTDOOR)));
    ASSERT_TRUE(ui::Click(window, IDC_50HZ));
    EXPECT_EQ(DeviceCode(), 1u);
    EXPECT_FALSE(ui::Click(window, IDC_OUTDOOR));
    EXPECT_EQ(DeviceCode(), 1u);
    EXPECT_EQ(Checked(window), std::vector<int>{IDC_50HZ});
}

TEST_F(PowerPageTest, ARefusedChoiceShowsWhatTheDeviceKept) {
    HWND window = OpenWithCode(2);
    device.model->Refuse(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, PropertyAccess::Set, E_PROP_ID_UNSUPPORTED);
    ASSERT_TRUE(ui::Click(window, IDC_50HZ));
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(DeviceCode(), 2u);
    EXPECT_EQ(Checked(window), std::vector<int>{IDC_60HZ});
}

// Checking the device's button sends no command, so the gate is driven another way: the device
// sends the page a command from inside the read that fills it.
TEST_F(PowerPageTest, CommandsThatArriveWhileThePageFillsItselfWriteNothing) {
    device.model->Store(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, 0, 1);
    InterposedDevice interposed(device.filter);
    int commands = 0;
    interposed.beforeGet = [&](REFGUID set, DWORD id) {
        if (set != PROPSETID_VIDCAP_VIDEOPROCAMP || id != kPowerLine) return;
        for (HWND child : host::ui::ChildWindows(parent)) {
            HWND button = ui::Item(child, IDC_60HZ);
            if (!button) continue;
            SendMessageW(child, WM_COMMAND, MAKEWPARAM(IDC_60HZ, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            ++commands;
        }
    };
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    IUnknown* objects[] = {interposed.Object()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    device.model->ClearCalls();
    ASSERT_EQ(page->Activate(parent, &kPageRect, TRUE), S_OK);
    EXPECT_EQ(commands, 1) << "the command arrived while the page filled itself";
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(DeviceCode(), 1u);

    // Filled, the page writes what a command finds chosen.
    interposed.beforeGet = nullptr;
    HWND window = host::ui::ChildWindows(parent).back();
    ASSERT_TRUE(ui::Click(window, IDC_60HZ));
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(DeviceCode(), 2u);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    EXPECT_EQ(interposed.refs, 1u);
}

TEST_F(PowerPageTest, ActivationReadsTheCodeAndWritesNothing) {
    HWND window = OpenWithCode(1);
    page->Deactivate();
    EXPECT_FALSE(IsWindow(window));
    device.model->ClearCalls();
    ASSERT_EQ(page->Activate(parent, &kPageRect, TRUE), S_OK);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(device.Calls(PROPSETID_VIDCAP_VIDEOPROCAMP, kPowerLine, PropertyAccess::Get).size(), 1u);
}

} // namespace
} // namespace page_testing
