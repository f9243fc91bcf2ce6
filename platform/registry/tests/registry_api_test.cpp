#include "host/registry_store.h"
#include "plat/registry.h"
#include "scoped_root.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::ScopedHostRoot;

struct KeyHandle {
    HKEY h = nullptr;
    ~KeyHandle() {
        if (h) RegCloseKey(h);
    }
    HKEY* operator&() { return &h; }
    operator HKEY() const { return h; }
};

LONG SetString(HKEY key, const char16_t* name, std::u16string_view text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          DWORD((text.size() + 1) * sizeof(char16_t)));
}

std::u16string GetString(HKEY key, const char16_t* name, LONG* err = nullptr) {
    char16_t buf[256] = {};
    DWORD type = 0, size = sizeof buf;
    LONG e = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    if (err) *err = e;
    return e == ERROR_SUCCESS && type == REG_SZ ? std::u16string(buf) : std::u16string(u"<error>");
}

std::vector<std::u16string> SubKeys(HKEY key) {
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, cch);
    }
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Registry : public ::testing::Test {
protected:
    ScopedHostRoot m_root;
};

TEST_F(Registry, KeysAreFoundWithoutRegardToCaseAndKeepTheirOwn) {
    KeyHandle a, b, c;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Yra\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &a,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\yra\\TEST\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &b,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(SetString(a, u"ThreadingModel", u"Both"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(b, u"threadingmodel"), u"Both");

    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software", 0, KEY_READ, &c), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(c), std::vector<std::u16string>{u"Yra"});
    // Names outside ASCII fold too.
    KeyHandle d, e;
    ASSERT_EQ(RegCreateKeyExW(a, u"Ärger", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &d, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(a, u"äRGER", 0, KEY_READ, &e), ERROR_SUCCESS);
}

TEST_F(Registry, MissingKeysAndValuesAreFileNotFound) {
    KeyHandle k, missing;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    missing.h = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{nothing}", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.h, nullptr);
    LONG err = 0;
    GetString(k, nullptr, &err);
    EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(k, u"absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(k, u"absent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, QueryReportsSizesAndRefusesShortBuffers) {
    KeyHandle k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"System", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, u"", u"default"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(k, nullptr), u"default"); // "" and null both name the default value

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(k, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 16u);
    BYTE small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(k, nullptr, nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 16u);

    DWORD merit = 0x600000, out = 0;
    ASSERT_EQ(RegSetValueExW(k, u"Merit", 0, REG_DWORD, reinterpret_cast<BYTE*>(&merit), 4), ERROR_SUCCESS);
    size = 4;
    EXPECT_EQ(RegQueryValueExW(k, u"MERIT", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(out, merit);
    EXPECT_EQ(RegQueryValueExW(k, u"Merit", nullptr, nullptr, reinterpret_cast<BYTE*>(&out), nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, DeletionRefusesKeysWithSubkeysAndInvalidatesHandles) {
    KeyHandle parent, child, reopened;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Sets\\PropertyPages\\{page}", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &child, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Sets", 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(parent, u"PropertyPages"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExW(parent, u"PropertyPages\\{PAGE}", 0, KEY_READ, &reopened), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyW(parent, u"propertypages\\{page}"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(child, u"x", u"y"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(parent, u"PropertyPages"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(parent).size(), 0u);
    // A hive's root stays.
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
}

TEST_F(Registry, EnumerationOrdersSubkeysByNameAndValuesByCreation) {
    KeyHandle k, sub;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"E", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    for (const char16_t* name : {u"charlie", u"Bravo", u"alpha"}) {
        KeyHandle s;
        ASSERT_EQ(RegCreateKeyExW(k, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr), ERROR_SUCCESS);
    }
    EXPECT_EQ(SubKeys(k), (std::vector<std::u16string>{u"alpha", u"Bravo", u"charlie"}));
    WCHAR name[4];
    DWORD cch = 4;
    EXPECT_EQ(RegEnumKeyExW(k, 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    cch = 4;
    EXPECT_EQ(RegEnumKeyExW(k, 3, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    SetString(k, u"z", u"1");
    SetString(k, u"a", u"2");
    SetString(k, u"Z", u"3"); // same value, keeps its place
    std::vector<std::u16string> values;
    for (DWORD i = 0;; ++i) {
        WCHAR v[16];
        DWORD vcch = 16;
        if (RegEnumValueW(k, i, v, &vcch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values.emplace_back(v, vcch);
    }
    EXPECT_EQ(values, (std::vector<std::u16string>{u"z", u"a"}));
    EXPECT_EQ(GetString(k, u"z"), u"3");
}

TEST_F(Registry, HandlesHonourTheirAccessRights) {
    KeyHandle created, reader, writer;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"A", 0, KEY_READ, &reader), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"A", 0, KEY_WRITE, &writer), ERROR_SUCCESS);
    EXPECT_EQ(SetString(reader, u"v", u"x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetString(writer, u"v", u"x"), ERROR_SUCCESS);
    LONG err = 0;
    GetString(writer, u"v", &err);
    EXPECT_EQ(err, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetString(reader, u"v"), u"x");
    KeyHandle sub;
    EXPECT_EQ(RegCreateKeyExW(reader, u"sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(Registry, RefusesBadHandlesAndPaths) {
    KeyHandle k;
    EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x12345), u"x", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(nullptr, u"x", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"\\lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    k.h = nullptr;
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
}

TEST_F(Registry, HiveFileIsReadableTextAndKeepsEveryValueExactly) {
    KeyHandle k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{1}\\InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &k, nullptr),
              ERROR_SUCCESS);
    SetString(k, nullptr, u"/lib/x.so");
    SetString(k, u"ThreadingModel", u"Both");
    const BYTE odd[] = {'a', 0, 'b'};                               // a string without its terminator
    const char16_t strange[] = {u'q', u'"', u'\\', u'\n', 0xD800, 0}; // quotes, newline, lone surrogate
    const BYTE blob[] = {0, 1, 0xFF};
    ASSERT_EQ(RegSetValueExW(k, u"odd", 0, REG_SZ, odd, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, strange, 0, REG_BINARY, blob, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"multi", 0, REG_MULTI_SZ, blob, 0), ERROR_SUCCESS);
    KeyHandle weird;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"100%\tsure]", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &weird,
                              nullptr),
              ERROR_SUCCESS);

    std::string text = ReadFile(host::RegistryHivePath(HKEY_CLASSES_ROOT));
    EXPECT_NE(text.find("[CLSID\\{1}\\InprocServer32]\n@=sz:\"/lib/x.so\"\n\"ThreadingModel\"=sz:\"Both\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"odd\"=hex(1):61,00,62\n"), std::string::npos) << text;

    // A second root holding a copy of the file is parsed from disk, not served from memory.
    ScopedHostRoot other;
    std::filesystem::create_directories(other.Registry());
    std::filesystem::copy_file(m_root.Registry() + "/HKEY_CLASSES_ROOT.reg",
                               other.Registry() + "/HKEY_CLASSES_ROOT.reg");
    KeyHandle again, weirdAgain;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"clsid\\{1}\\inprocserver32", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_EQ(GetString(again, nullptr), u"/lib/x.so");
    BYTE buf[8];
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(again, u"odd", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::vector<BYTE>(buf, buf + size), std::vector<BYTE>(odd, odd + 3));
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(again, strange, nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(buf, buf + size), std::vector<BYTE>(blob, blob + 3));
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(again, u"multi", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"100%\tsure]", 0, KEY_READ, &weirdAgain), ERROR_SUCCESS);
}

} // namespace
