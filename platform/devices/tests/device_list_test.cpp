// The device list and the system device enumerator: what is listed, under which category, with
// which names, and how each listed device is bound to its filter.
#include "device_test_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "plat/ks.h"

#include <gmock/gmock.h>

namespace device_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::u16string> Names(const std::vector<ListedDevice>& devices) {
    std::vector<std::u16string> names;
    for (const ListedDevice& d : devices)
        names.push_back(d.name);
    return names;
}

class DeviceListTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        RemoveDeviceList();
    }
};

TEST_F(DeviceListTest, WithoutAFileTheEmbeddedDefaultDeviceIsListed) {
    HRESULT hr = E_FAIL;
    auto devices = ListDevices(&hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_THAT(Names(devices), ElementsAre(u"YRA USB Device"));
}

TEST_F(DeviceListTest, EveryLineIsADeviceInFileOrderWithItsNameAsWritten) {
    // The program, not the enumerator, decides which names are its devices.
    WriteDeviceList("# bench\n"
                    "YRA USB Device\n"
                    "\n"
                    "  yra usb device  \n"
                    "YRA USB Device 2; hdmi=5\n"
                    "YRA USB Device #3\n"
                    "Kamera \xC3\xBC\n");
    auto devices = ListDevices();
    EXPECT_THAT(Names(devices), ElementsAre(u"YRA USB Device", u"yra usb device", u"YRA USB Device 2",
                                            u"YRA USB Device #3", u"Kamera \u00FC"));
    EXPECT_TRUE(host::DeviceListProblems().empty());
}

TEST_F(DeviceListTest, AListWithoutDevicesAnswersSFalseWithNoEnumerator) {
    WriteDeviceList("# nothing attached\n\n");
    HRESULT hr = E_FAIL;
    EXPECT_TRUE(ListDevices(&hr).empty());
    EXPECT_EQ(hr, S_FALSE);

    ComPtr<ICreateDevEnum> devEnum;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devEnum.ReceiveVoid()),
              S_OK);
    IEnumMoniker* pEnum = reinterpret_cast<IEnumMoniker*>(0x1);
    EXPECT_EQ(devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, &pEnum, 0), S_FALSE);
    EXPECT_EQ(pEnum, nullptr);
}

TEST_F(DeviceListTest, OtherCategoriesAreEmpty) {
    ComPtr<ICreateDevEnum> devEnum;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devEnum.ReceiveVoid()),
              S_OK);
    IEnumMoniker* pEnum = reinterpret_cast<IEnumMoniker*>(0x1);
    EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &pEnum, 0), S_FALSE);
    EXPECT_EQ(pEnum, nullptr);
    EXPECT_EQ(devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, nullptr, 0), E_POINTER);
}

TEST_F(DeviceListTest, MalformedLinesAreReportedWithTheirNumbersAndSkipped) {
    WriteDeviceList("YRA USB Device\n"
                    "; hdmi=3\n"
                    "Second; hdmi=300\n"
                    "Third; colour=blue\n"
                    "Fourth; mcu=1\n"
                    "Fifth; fail=ENC:12:read:0x80070005\n"
                    "Sixth; fail=IKsSomething\n"
                    "Last\n");
    EXPECT_THAT(Names(ListDevices()), ElementsAre(u"YRA USB Device", u"Last"));
    const auto problems = host::DeviceListProblems();
    ASSERT_EQ(problems.size(), 6u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_THAT(problems[0].message, HasSubstr("name"));
    EXPECT_EQ(problems[1].line, 3);
    EXPECT_THAT(problems[1].message, HasSubstr("hdmi"));
    EXPECT_EQ(problems[2].line, 4);
    EXPECT_THAT(problems[2].message, HasSubstr("colour"));
    EXPECT_EQ(problems[3].line, 5);
    EXPECT_EQ(problems[4].line, 6);
    EXPECT_EQ(problems[5].line, 7);
    EXPECT_THAT(problems[5].message, HasSubstr("IKsSomething"));
}

TEST_F(DeviceListTest, ProblemsGoToStandardErrorOncePerProcess) {
    WriteDeviceList("ok\nbad; what\n");
    ::testing::internal::CaptureStderr();
    ListDevices();
    ListDevices();
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, host::DeviceListPath() + ":2: option 'what' has no '='\n");
}

TEST_F(DeviceListTest, ConfiguredFirmwareAndFaultsReachTheSdkThroughTheBoundFilter) {
    WriteDeviceList("YRA USB Device; hdmi=9; mcu=2.1\n"
                    "YRA USB Device; fail={FAE408DC-E1D4-472B-AC63-9A99A155410D}:12:get:0x80070005\n"
                    "YRA USB Device; fail=IKsPropertySet:0x80004005; fail=ENC:8:query:0x8007001F\n");
    auto devices = ListDevices();
    ASSERT_EQ(devices.size(), 3u);
    ComPtr<IBaseFilter> first = BindFilter(devices[0].moniker.Get());
    int major = 0, minor = 0, code = 0;
    EXPECT_EQ(YRA_HDC_SDK_GetMCUVersion(first.Get(), &major, &minor), S_OK);
    EXPECT_EQ(major, 2);
    EXPECT_EQ(minor, 1);
    EXPECT_EQ(YRA_HDC_SDK_GetHDMIRXResolution(first.Get(), &code), S_OK);
    EXPECT_EQ(code, 9);

    HDC_FILTER_PARAM param{};
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(BindFilter(devices[1].moniker.Get()).Get(), &param),
              static_cast<HRESULT>(0x80070005));
    ComPtr<IBaseFilter> third = BindFilter(devices[2].moniker.Get());
    EXPECT_EQ(YRA_HDC_SDK_GetFilterParam(third.Get(), &param), E_FAIL);
    // The property set interface is refused on this device; its model still answers the query.
    host::PropertyRequest query;
    query.set = PROPSETID_HDC_ENCODER;
    query.id = 8;
    query.access = host::PropertyAccess::QuerySupported;
    DWORD support = 0;
    query.data = &support;
    query.dataSize = sizeof support;
    EXPECT_EQ(host::DeviceModelOf(third.Get())->Handle(query, nullptr), static_cast<HRESULT>(0x8007001F));
}

TEST_F(DeviceListTest, ADeviceBindsToOneFilterObjectWhoseSettingsLast) {
    WriteDeviceList("YRA USB Device\nYRA USB Device\n");
    auto devices = ListDevices();
    ASSERT_EQ(devices.size(), 2u);
    ComPtr<IBaseFilter> a = BindFilter(devices[0].moniker.Get());
    ComPtr<IBaseFilter> b = BindFilter(devices[1].moniker.Get());
    EXPECT_NE(a.Get(), b.Get());

    ASSERT_EQ(WriteSettings(a.Get(), {640, 360, 25, 800, false, 1}), S_OK);
    a.Reset();
    // Listed again, as a program started afresh in this process would list it.
    auto again = ListDevices();
    ComPtr<IBaseFilter> a2 = BindFilter(again[0].moniker.Get());
    ComPtr<IUnknown> asUnknown;
    ASSERT_EQ(again[0].moniker->BindToObject(nullptr, nullptr, IID_IUnknown, asUnknown.ReceiveVoid()), S_OK);
    EXPECT_EQ(host::IdentityOf(a2.Get()), asUnknown.Get());
    EXPECT_EQ(host::DeviceModelOf(a2.Get())->Settings().width, 640u);
    EXPECT_EQ(host::DeviceModelOf(b.Get())->Settings().width, 1920u);
}

TEST_F(DeviceListTest, MonikersAnswerOnlyTheFriendlyNameAndCompareByDevice) {
    WriteDeviceList("One\nTwo\n");
    auto first = ListDevices();
    auto second = ListDevices();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].moniker->IsEqual(second[0].moniker.Get()), S_OK);
    EXPECT_EQ(first[0].moniker->IsEqual(second[1].moniker.Get()), S_FALSE);

    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(first[0].moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid()), S_OK);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(bag->Read(u"friendlyname", &value, nullptr), S_OK);
    EXPECT_EQ(std::u16string(value.bstrVal), u"One");
    VariantClear(&value);
    EXPECT_EQ(bag->Read(u"DevicePath", &value, nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    value.vt = VT_I4;
    EXPECT_EQ(bag->Read(u"FriendlyName", &value, nullptr), DISP_E_TYPEMISMATCH);
}

TEST_F(DeviceListTest, TheEnumeratorWalksResetsSkipsAndClones) {
    WriteDeviceList("A\nB\nC\n");
    ComPtr<ICreateDevEnum> devEnum;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devEnum.ReceiveVoid()),
              S_OK);
    ComPtr<IEnumMoniker> e;
    ASSERT_EQ(devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, e.Receive(), 0), S_OK);
    IMoniker* got[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i)
        got[i]->Release();
    EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);
    ComPtr<IEnumMoniker> clone;
    ASSERT_EQ(e->Clone(clone.Receive()), S_OK);
    EXPECT_EQ(e->Skip(2), S_FALSE);
    ASSERT_EQ(clone->Next(1, got, &fetched), S_OK);
    ComPtr<IMoniker> third = ComPtr<IMoniker>::Adopt(got[0]);
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(third->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid()), S_OK);
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(bag->Read(u"FriendlyName", &value, nullptr), S_OK);
    EXPECT_EQ(std::u16string(value.bstrVal), u"C");
    VariantClear(&value);
}

} // namespace
} // namespace device_test
