// The video page: its fields filled from node 4, edits marking it dirty, and what an apply
// sends to the device.
#include "page_fixture.h"
#include "pages/video/resource.h"

namespace page_testing {
namespace {

class VideoPageTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        page = CreatePage(CLSID_VideoControlPage);
    }
    void TearDown() override {
        SafeRelease(page);
        PageTest::TearDown();
    }
    HWND OpenPage() {
        device.model->ClearCalls();
        HWND window = Open(page, device);
        device.model->ClearCalls();
        return window;
    }
    // The words of the last write of a node-4 property.
    std::vector<int32_t> Written(ULONG id) {
        std::vector<PropertyCall> sets = device.Calls(PROPSETID_EXT_NODE4, id, PropertyAccess::Set);
        if (sets.empty()) return {};
        return {Word(sets.back(), 0), Word(sets.back(), 4)};
    }

    Device device;
    IPropertyPage* page = nullptr;
};

TEST_F(VideoPageTest, FillsTheFieldsFromNodeFour) {
    device.SetNode4(1, 1920, 1080);
    device.SetNode4(2, 30, 15);
    device.SetNode4(3, 12000, 0);
    device.SetNode4(5, -5, 0);
    HWND window = OpenPage();
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_WIDTH)), u"1920");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_HEIGHT)), u"1080");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_FPS_H264)), u"30");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_FPS_MJPG)), u"15");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_BITRATE)), u"12000");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_GOP)), u"-5");
}

TEST_F(VideoPageTest, AFailedReadShowsWhatTheReadBeforeLeft) {
    device.SetNode4(1, 1280, 720);
    device.model->Refuse(PROPSETID_EXT_NODE4, 1, PropertyAccess::Get, E_FAIL);
    device.model->Refuse(PROPSETID_EXT_NODE4, 2, PropertyAccess::Get, E_FAIL);
    HWND window = OpenPage();
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_WIDTH)), u"0");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_FPS_MJPG)), u"0");

    SafeRelease(page);
    page = CreatePage(CLSID_VideoControlPage);
    device.model->ClearRefusals();
    device.model->Refuse(PROPSETID_EXT_NODE4, 2, PropertyAccess::Get, E_FAIL);
    window = OpenPage();
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_FPS_H264)), u"1280");
    EXPECT_EQ(ui::Text(ui::Item(window, IDC_FPS_MJPG)), u"720");
}

TEST_F(VideoPageTest, OpeningLeavesThePageClean) {
    OpenPage();
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_TRUE(site.statusChanges.empty());
}

TEST_F(VideoPageTest, EveryCommandMarksThePageDirtyAndTellsTheSiteOnce) {
    HWND window = OpenPage();
    ASSERT_TRUE(ui::Focus(window, IDC_GOP));
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_EQ(site.statusChanges.size(), 1u) << "one EN_SETFOCUS";
    EXPECT_EQ(site.statusChanges[0], static_cast<DWORD>(PROPPAGESTATUS_DIRTY));
    ASSERT_TRUE(ui::Focus(window, IDC_WIDTH));
    EXPECT_EQ(site.statusChanges.size(), 3u) << "EN_KILLFOCUS and EN_SETFOCUS";
}

TEST_F(VideoPageTest, AppliesTheFieldsToNodeFour) {
    HWND window = OpenPage();
    ui::Type(window, IDC_WIDTH, u"1280");
    ui::Type(window, IDC_HEIGHT, u"720");
    ui::Type(window, IDC_FPS_H264, u"25");
    ui::Type(window, IDC_FPS_MJPG, u"10");
    ui::Type(window, IDC_BITRATE, u"8000");
    ui::Type(window, IDC_GOP, u"50");
    device.model->ClearCalls();
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    std::vector<PropertyCall> sets = device.Sets();
    ASSERT_EQ(sets.size(), 4u);
    const ULONG order[] = {1, 2, 3, 5};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sets[i].set, PROPSETID_EXT_NODE4);
        EXPECT_EQ(sets[i].id, order[i]);
        EXPECT_EQ(sets[i].node, 4u);
        EXPECT_EQ(sets[i].flags, 0x10000002u);
        EXPECT_EQ(sets[i].dataSize, 8u);
    }
    EXPECT_EQ(Written(3), (std::vector<int32_t>{8000, 0}));
    EXPECT_EQ(Written(5), (std::vector<int32_t>{50, 0}));
    host::EncoderSettings settings = device.model->Settings();
    EXPECT_EQ(settings.width, 1280u);
    EXPECT_EQ(settings.height, 720u);
    EXPECT_EQ(settings.frameRate, 25u);
    EXPECT_EQ(settings.bitRateKbps, 8000u);
    EXPECT_EQ(settings.gopSize, 50u);
}

struct FieldCase {
    int field;
    const char16_t* text;
    ULONG id;
    int word;
    int32_t sent;
};
void PrintTo(const FieldCase& c, std::ostream* os) { *os << "field " << c.field << " sends " << c.sent; }

class VideoFieldTest : public VideoPageTest, public testing::WithParamInterface<FieldCase> {};

TEST_P(VideoFieldTest, ReadsTheFieldAsALeadingNumberWithinItsLimit) {
    const FieldCase& c = GetParam();
    HWND window = OpenPage();
    ASSERT_TRUE(ui::Type(window, c.field, c.text));
    ASSERT_EQ(page->Apply(), S_OK);
    std::vector<int32_t> words = Written(c.id);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[c.word], c.sent);
}

INSTANTIATE_TEST_SUITE_P(Texts, VideoFieldTest,
                         testing::Values(FieldCase{IDC_WIDTH, u"1920x", 1, 0, 1920},
                                         FieldCase{IDC_WIDTH, u"19200", 1, 0, 1920},
                                         FieldCase{IDC_HEIGHT, u"-720", 1, 1, -720},
                                         FieldCase{IDC_FPS_H264, u" 30", 2, 0, 30},
                                         FieldCase{IDC_FPS_MJPG, u"+7", 2, 1, 7},
                                         FieldCase{IDC_BITRATE, u"12000", 3, 0, 12000},
                                         FieldCase{IDC_BITRATE, u"123456", 3, 0, 12345},
                                         FieldCase{IDC_GOP, u"-5", 5, 0, -5}),
                         [](const testing::TestParamInfo<FieldCase>& info) {
                             return "Case" + std::to_string(info.index) + "Field" + std::to_string(info.param.field) + "Sends" +
                                    (info.param.sent < 0 ? "Minus" + std::to_string(-info.param.sent)
                                                         : std::to_string(info.param.sent));
                         });

TEST_F(VideoPageTest, AFieldWithoutANumberIsNotSentAndTheEditsStay) {
    for (const char16_t* text : {u"abc", u"", u"-", u"  x1"}) {
        HWND window = OpenPage();
        ui::Type(window, IDC_FPS_MJPG, text);
        device.model->ClearCalls();
        EXPECT_EQ(page->Apply(), E_INVALIDARG) << ui::Text(ui::Item(window, IDC_FPS_MJPG)).size();
        EXPECT_TRUE(device.Sets().empty()) << "a partial apply reached the device";
        EXPECT_EQ(page->IsPageDirty(), S_OK);
        ui::Type(window, IDC_FPS_MJPG, u"15");
        EXPECT_EQ(page->Apply(), S_OK);
        EXPECT_EQ(device.Sets().size(), 4u);
        page->Deactivate();
        page->SetObjects(0, nullptr);
        page->SetPageSite(nullptr);
    }
}

TEST_F(VideoPageTest, ARefusedWriteDoesNotStopTheOthers) {
    HWND window = OpenPage();
    ui::Type(window, IDC_BITRATE, u"9000");
    device.model->Refuse(PROPSETID_EXT_NODE4, 1, PropertyAccess::Set, E_INVALIDARG);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(device.Sets().size(), 4u);
    EXPECT_EQ(device.model->Settings().bitRateKbps, 9000u);
}

TEST_F(VideoPageTest, EditsDeactivatedBeforeTheApplyAreNotWritten) {
    HWND window = OpenPage();
    ui::Type(window, IDC_WIDTH, u"640");
    ASSERT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_TRUE(device.model->Calls().empty());
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
}

} // namespace
} // namespace page_testing
