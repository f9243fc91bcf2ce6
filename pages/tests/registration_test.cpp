// What the two modules file in the registry, and how they leave the keys they share.
#include "host/registry_store.h"
#include "host/utf.h"
#include "page_fixture.h"
#include "plat/registry.h"

#include <filesystem>
#include <fstream>

namespace page_testing {
namespace {

std::u16string GuidText(REFGUID guid) {
    OLECHAR text[GUID_STRING_CHARS];
    StringFromGUID2(guid, text, GUID_STRING_CHARS);
    return text;
}

const std::u16string kSetKey =
    u"System\\CurrentControlSet\\Control\\MediaSets\\" + GuidText(PROPSETID_VIDCAP_VIDEOPROCAMP);
const std::u16string kPagesKey = kSetKey + u"\\PropertyPages";
std::u16string PageKey(REFCLSID clsid) { return kPagesKey + u"\\" + GuidText(clsid); }
std::u16string ClassKey(REFCLSID clsid) { return u"CLSID\\" + GuidText(clsid); }

bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

struct Value {
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    std::u16string Text() const {
        return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
    }
};

Value ReadValue(HKEY root, const std::u16string& path, LPCWSTR name) {
    Value value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
    }
    RegCloseKey(key);
    return value;
}

const std::u16string kName(u"Marnex KSProxy Extension Property Page\0", 39);

class PageRegistrationTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    static void ExpectRegistered(REFCLSID clsid, const char* module) {
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, ClassKey(clsid), nullptr).Text(), kName);
        char full[PATH_MAX];
        ASSERT_TRUE(realpath(module, full));
        Value server = ReadValue(HKEY_CLASSES_ROOT, ClassKey(clsid) + u"\\InprocServer32", nullptr);
        EXPECT_EQ(server.Text(), host::WideFromUtf8(full) + u'\0');
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, ClassKey(clsid) + u"\\InprocServer32", u"ThreadingModel").Text(),
                  std::u16string(u"Both\0", 5));
        Value page = ReadValue(HKEY_LOCAL_MACHINE, PageKey(clsid), nullptr);
        EXPECT_EQ(page.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(page.Text(), kName) << "the terminating NUL counts in the length";
    }
};

// A hive made unreadable while this lives, so that every key under it fails to open. The
// test's host root outlives the run, so the hive goes again at the end.
class BrokenHive {
public:
    explicit BrokenHive(HKEY root) : m_path(host::RegistryHivePath(root)) {
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
        std::ofstream(m_path) << "not a hive\n";
    }
    ~BrokenHive() { std::filesystem::remove(m_path); }
    BrokenHive(const BrokenHive&) = delete;
    BrokenHive& operator=(const BrokenHive&) = delete;

private:
    std::string m_path;
};

TEST_F(PageRegistrationTest, AFailedClassRegistrationFilesNoPage) {
    BrokenHive classes(HKEY_CLASSES_ROOT);
    EXPECT_EQ(RegisterModule(kPowerModule), HRESULT_FROM_WIN32(ERROR_BADDB));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSetKey));
}

TEST_F(PageRegistrationTest, AFailedClassRemovalStillRemovesThePage) {
    ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
    BrokenHive classes(HKEY_CLASSES_ROOT);
    EXPECT_EQ(UnregisterModule(kPowerModule), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PageKey(CLSID_PowerLinePage)));
}

TEST_F(PageRegistrationTest, ASetKeyThatCannotBeOpenedFailsBothWays) {
    for (const char* module : {kVideoModule, kPowerModule}) {
        ASSERT_EQ(RegisterModule(module), S_OK);
        BrokenHive machine(HKEY_LOCAL_MACHINE);
        EXPECT_EQ(RegisterModule(module), HRESULT_FROM_WIN32(ERROR_BADDB)) << module;
        EXPECT_EQ(UnregisterModule(module), HRESULT_FROM_WIN32(ERROR_BADDB)) << module;
    }
}

TEST_F(PageRegistrationTest, FilesEachPageUnderTheProcAmpSet) {
    ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
    ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
    ExpectRegistered(CLSID_VideoControlPage, kVideoModule);
    ExpectRegistered(CLSID_PowerLinePage, kPowerModule);
}

TEST_F(PageRegistrationTest, RegisteringTwiceLeavesOneKeyWithTheSameValue) {
    ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
    ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
    ExpectRegistered(CLSID_VideoControlPage, kVideoModule);
    HKEY pages = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPagesKey.c_str(), 0, KEY_READ, &pages), ERROR_SUCCESS);
    WCHAR name[64];
    DWORD cch = 64;
    EXPECT_EQ(RegEnumKeyExW(pages, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    cch = 64;
    EXPECT_EQ(RegEnumKeyExW(pages, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(pages);
}

TEST_F(PageRegistrationTest, TheVideoPageLeavesThePowerPageFiled) {
    ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
    ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
    // Its own keys go; the shared key still holds the power page, and the refusal to delete it
    // is the result.
    EXPECT_EQ(UnregisterModule(kVideoModule), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PageKey(CLSID_VideoControlPage)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(CLSID_VideoControlPage)));
    ExpectRegistered(CLSID_PowerLinePage, kPowerModule);
}

TEST_F(PageRegistrationTest, ThePowerPageLeavesTheSharedKeys) {
    ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
    EXPECT_EQ(UnregisterModule(kPowerModule), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PageKey(CLSID_PowerLinePage)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(CLSID_PowerLinePage)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kPagesKey)) << "left in place even when empty";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSetKey));
}

TEST_F(PageRegistrationTest, TheVideoPageRemovesTheSharedKeysWhenItIsTheLast) {
    ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
    ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
    EXPECT_EQ(UnregisterModule(kPowerModule), S_OK);
    EXPECT_EQ(UnregisterModule(kVideoModule), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSetKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"System\\CurrentControlSet\\Control\\MediaSets"));
}

} // namespace
} // namespace page_testing
