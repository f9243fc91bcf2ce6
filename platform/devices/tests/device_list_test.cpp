// The device list and the system device enumerator: what is listed, under which category, with
// which names, and how each listed device is bound to its filter.
#include "device_test_support.h"

#include "YRA_HD_Capture_SDK.h"
#include "host/host_root.h"
#include "plat/ks.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

// A list file that is not a plain, small file: refused at once with what it is, no device listed.
class HostileDeviceList : public DeviceListTest {
protected:
    static std::string OnlyProblem() {
        const auto problems = host::DeviceListProblems();
        if (problems.size() != 1 || problems[0].line != 0)
            return "<" + std::to_string(problems.size()) + " problems>";
        return problems[0].message;
    }
};

TEST_F(HostileDeviceList, AFifoIsRefusedWithoutWaitingForAWriter) {
    host::MakeDirectories(host::HostRootPath());
    ASSERT_EQ(::mkfifo(host::DeviceListPath().c_str(), 0644), 0);
    ::alarm(60); // a list that blocks must not stall the suite
    EXPECT_TRUE(ListDevices().empty());
    ::alarm(0);
    EXPECT_THAT(OnlyProblem(), HasSubstr("FIFO"));
}

TEST_F(HostileDeviceList, ALinkToADeviceOrAFolderIsRefusedUnread) {
    host::MakeDirectories(host::HostRootPath());
    std::filesystem::create_symlink("/dev/zero", host::DeviceListPath());
    EXPECT_TRUE(ListDevices().empty());
    EXPECT_THAT(OnlyProblem(), HasSubstr("character device"));
    std::filesystem::remove(host::DeviceListPath());
    std::filesystem::create_directory(host::DeviceListPath());
    EXPECT_TRUE(ListDevices().empty());
    EXPECT_THAT(OnlyProblem(), HasSubstr("folder"));
}

TEST_F(HostileDeviceList, AListLargerThanTheLimitIsRefusedUnread) {
    WriteDeviceList("YRA USB Device\n");
    std::filesystem::resize_file(host::DeviceListPath(), host::kMaxDeviceListBytes + 1);
    EXPECT_TRUE(ListDevices().empty());
    EXPECT_THAT(OnlyProblem(), HasSubstr("larger"));
    const std::string device = "YRA USB Device\n";
    WriteDeviceList(device + "#" + std::string(host::kMaxDeviceListBytes - device.size() - 2, '-') + "\n");
    ASSERT_EQ(std::filesystem::file_size(host::DeviceListPath()), host::kMaxDeviceListBytes);
    EXPECT_THAT(Names(ListDevices()), ElementsAre(u"YRA USB Device")) << "the limit itself is allowed";
}

TEST_F(HostileDeviceList, ControlBytesAndBrokenUtf8InAReportAreQuoted) {
    WriteDeviceList("One; \x1B[2J\x1B[31m\x07=1\n"
                    "Two; fail=\xC2\x9B"
                    "31m:5\n"
                    "Three; \xFF\xFE\r\n"
                    "Four; caf\xC3\xA9=1\n");
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(ListDevices().empty());
    const std::string written = ::testing::internal::GetCapturedStderr();
    const auto problems = host::DeviceListProblems();
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].message, "unknown option '\\x1B[2J\\x1B[31m\\x07'");
    EXPECT_EQ(problems[1].message, "unknown interface '\\xC2\\x9B31m'");
    EXPECT_EQ(problems[2].message, "option '\\xFF\\xFE' has no '='");
    EXPECT_EQ(problems[3].message, "unknown option 'caf\xC3\xA9'") << "text that is fine stays as written";
    for (char c : written)
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n')
            << "raw byte " << int(c) << " in " << written;
}

TEST_F(HostileDeviceList, ALongOptionIsCutShortInTheReport) {
    WriteDeviceList("One; " + std::string(5000, 'x') + "\n");
    ListDevices();
    const auto problems = host::DeviceListProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_LT(problems[0].message.size(), 200u);
    EXPECT_THAT(problems[0].message, HasSubstr("...'"));
}

TEST_F(DeviceListTest, WithoutAnyHomeNoListIsReadFromTheCurrentFolder) {
    const std::string root = host::HostRootPath();
    host::MakeDirectories(root);
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(::chdir(root.c_str()), 0);
    host::MakeDirectories(".local/share/yra-host");
    std::ofstream(".local/share/yra-host/devices.conf") << "From The Current Folder\n";
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::unsetenv("YRA_HOST_ROOT");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    const auto devices = ListDevices();
    const auto problems = host::DeviceListProblems();
    ::setenv("YRA_HOST_ROOT", root.c_str(), 1);
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    EXPECT_TRUE(devices.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_THAT(problems[0].message, HasSubstr("HOME"));
}

} // namespace
} // namespace device_test
