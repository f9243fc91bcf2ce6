// From registration to the device: the pages registered with yra-regsvr, named by the first
// device of the system device enumerator, shown in the property frame, and a change applied
// through the video page read back by the SDK.
#include "YRA_HD_Capture_SDK.h"
#include "host/propframe.h"
#include "page_fixture.h"
#include "pages/power/resource.h"
#include "pages/video/resource.h"

#include <cstdlib>

namespace page_testing {
namespace {

class PagesEndToEndTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ui::Reset();
        std::string command = std::string(YRA_REGSVR) + " -s " + kVideoModule + " " + kPowerModule;
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_EQ(BindFirstDevice(&device), S_OK);
    }
    void TearDown() override {
        frame.reset();
        SafeRelease(device);
        host::ui::ResetWindows();
        CoUninitialize();
    }
    // The first device of the data-compressor category, as the capture program finds it.
    static HRESULT BindFirstDevice(IBaseFilter** filter) {
        ICreateDevEnum* devEnum = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                      reinterpret_cast<void**>(&devEnum));
        if (FAILED(hr)) return hr;
        IEnumMoniker* monikers = nullptr;
        hr = devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, &monikers, 0);
        devEnum->Release();
        if (hr != S_OK) return E_FAIL;
        IMoniker* moniker = nullptr;
        hr = monikers->Next(1, &moniker, nullptr) == S_OK
                 ? moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter))
                 : E_FAIL;
        SafeRelease(moniker);
        monikers->Release();
        return hr;
    }
    void OpenSheet() {
        std::vector<CLSID> pages;
        ASSERT_EQ(host::GetObjectPages(device, &pages), S_OK);
        ASSERT_EQ(host::PropertyFrame::Open({.caption = u"YRA USB Device"}, {device}, pages, &frame), S_OK);
    }
    LONG PowerLineCode() {
        IKsPropertySet* props = nullptr;
        EXPECT_EQ(device->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&props)), S_OK);
        struct {
            KSPROPERTY_VIDEOPROCAMP_S record;
            ULONG spare;
        } request{};
        DWORD returned = 0;
        EXPECT_EQ(props->Get(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY,
                             &request.record.Value, 16, &request, sizeof request, &returned),
                  S_OK);
        props->Release();
        return request.record.Value;
    }
    size_t PageIndex(const std::u16string& title) {
        for (size_t i = 0; i < frame->PageCount(); ++i)
            if (frame->PageTitle(i) == title) return i;
        ADD_FAILURE() << "no page " << host::ui::Utf8(title);
        return 0;
    }

    IBaseFilter* device = nullptr;
    std::unique_ptr<host::PropertyFrame> frame;
};

TEST_F(PagesEndToEndTest, TheSheetShowsBothPages) {
    OpenSheet();
    ASSERT_EQ(frame->PageCount(), 2u);
    EXPECT_TRUE(frame->LeftOut().empty());
    size_t power = PageIndex(u"Video Powerline Frequency");
    size_t video = PageIndex(u"Video Properties");
    ASSERT_TRUE(frame->SelectPage(video));
    EXPECT_EQ(ui::Text(ui::Item(frame->PageWindow(video), IDC_WIDTH)), u"1920");
    ASSERT_TRUE(frame->SelectPage(power));
    EXPECT_EQ(ui::Check(ui::Item(frame->PageWindow(power), IDC_60HZ)), BST_CHECKED);
}

TEST_F(PagesEndToEndTest, AVideoChangeAppliedInTheSheetIsReadBackByTheSdk) {
    OpenSheet();
    size_t video = PageIndex(u"Video Properties");
    ASSERT_TRUE(frame->SelectPage(video));
    HWND page = frame->PageWindow(video);
    ASSERT_TRUE(ui::Type(page, IDC_WIDTH, u"1280"));
    ASSERT_TRUE(ui::Type(page, IDC_HEIGHT, u"720"));
    ASSERT_TRUE(ui::Type(page, IDC_BITRATE, u"8000"));
    EXPECT_TRUE(frame->ApplyEnabled());
    ASSERT_TRUE(ui::Click(frame->Window(), IDOK));
    EXPECT_FALSE(frame->IsOpen());

    HDC_FILTER_PARAM param{};
    ASSERT_EQ(YRA_HDC_SDK_GetFilterParam(device, &param), S_OK);
    EXPECT_EQ(param.nEncodeWidth, 1280u);
    EXPECT_EQ(param.nEncodeHeight, 720u);
    EXPECT_EQ(param.nBitRate, 8000u);
}

TEST_F(PagesEndToEndTest, APowerLineChoiceReachesTheDeviceWithoutApply) {
    OpenSheet();
    size_t power = PageIndex(u"Video Powerline Frequency");
    ASSERT_TRUE(frame->SelectPage(power));
    ASSERT_TRUE(ui::Click(frame->PageWindow(power), IDC_50HZ));
    EXPECT_FALSE(frame->ApplyEnabled());
    ASSERT_TRUE(ui::Click(frame->Window(), IDCANCEL));
    EXPECT_EQ(PowerLineCode(), 1);
}

} // namespace
} // namespace page_testing
