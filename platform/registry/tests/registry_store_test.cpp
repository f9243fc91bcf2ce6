// The hive files under faults and concurrent processes.
#include "host/registry_store.h"
#include "nested_hive.h"
#include "plat/registry.h"
#include "platform/registry/hive_store.h"
#include "scoped_root.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::ScopedHostRoot;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

LONG SetDword(const char16_t* keyPath, const char16_t* name, DWORD value) {
    HKEY k = nullptr;
    LONG err = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (err != ERROR_SUCCESS) return err;
    err = RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(k);
    return err;
}

LONG GetDword(const char16_t* keyPath, const char16_t* name, DWORD* value) {
    HKEY k = nullptr;
    LONG err = RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath, 0, KEY_READ, &k);
    if (err != ERROR_SUCCESS) return err;
    DWORD size = 4;
    err = RegQueryValueExW(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(k);
    return err;
}

// Runs fn in a child process and returns its exit status. A child that blocks is ended after a
// minute, so that it fails its test instead of stalling the suite.
template <class Fn> int InChild(Fn fn) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(60);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string HivePath() { return host::RegistryHivePath(HKEY_CLASSES_ROOT); }

class RegistryStore : public ::testing::Test {
protected:
    ScopedHostRoot m_root;
};

TEST_F(RegistryStore, ReaderSeesChangesOfAnotherProcess) {
    ASSERT_EQ(SetDword(u"Shared", u"v", 1), ERROR_SUCCESS);
    DWORD v = 0;
    ASSERT_EQ(GetDword(u"Shared", u"v", &v), ERROR_SUCCESS);
    ASSERT_EQ(InChild([] { return SetDword(u"shared", u"V", 2) == ERROR_SUCCESS ? 0 : 1; }), 0);
    ASSERT_EQ(GetDword(u"Shared", u"v", &v), ERROR_SUCCESS);
    EXPECT_EQ(v, 2u);
}

TEST_F(RegistryStore, ConcurrentWritersInSeveralProcessesLoseNothing) {
    constexpr int kProcesses = 6, kKeys = 15;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        if (pid == 0) {
            char c;
            ::close(gate[1]);
            // Every child starts writing the moment the gate opens.
            if (::read(gate[0], &c, 1) != 0) ::_exit(3);
            for (int k = 0; k < kKeys; ++k) {
                std::u16string path = u"CLSID\\{" + std::u16string(1, char16_t(u'A' + p)) + u"-" +
                                      std::u16string(1, char16_t(u'a' + k)) + u"}";
                if (SetDword(path.c_str(), u"n", DWORD(p * 100 + k)) != ERROR_SUCCESS) ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int k = 0; k < kKeys; ++k) {
            std::u16string path = u"CLSID\\{" + std::u16string(1, char16_t(u'A' + p)) + u"-" +
                                  std::u16string(1, char16_t(u'a' + k)) + u"}";
            DWORD v = 0;
            ASSERT_EQ(GetDword(path.c_str(), u"n", &v), ERROR_SUCCESS) << p << "/" << k;
            EXPECT_EQ(v, DWORD(p * 100 + k));
        }
    }
}

TEST_F(RegistryStore, WriterKilledAtAnyMomentLeavesAReadableHive) {
    ASSERT_EQ(SetDword(u"Counter", u"n", 0), ERROR_SUCCESS);
    for (int round = 0; round < 5; ++round) {
        pid_t pid = ::fork();
        if (pid == 0) {
            for (DWORD n = 1;; ++n) SetDword(u"Counter", u"n", n);
        }
        ::usleep(20000 + round * 7000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        DWORD before = 0, after = 0;
        ASSERT_EQ(GetDword(u"Counter", u"n", &before), ERROR_SUCCESS) << host::RegistryLastError();
        // The lock died with the writer, so the next writer goes on.
        ASSERT_EQ(SetDword(u"Counter", u"m", 1), ERROR_SUCCESS);
        ASSERT_EQ(GetDword(u"Counter", u"n", &after), ERROR_SUCCESS);
        EXPECT_EQ(before, after);
    }
}

TEST_F(RegistryStore, LeftoverTemporaryFileIsIgnoredAndReplaced) {
    ASSERT_EQ(SetDword(u"K", u"v", 7), ERROR_SUCCESS);
    WriteFile(HivePath() + ".tmp", "half a hive [CLSID\\");
    DWORD v = 0;
    ASSERT_EQ(InChild([&] { return GetDword(u"K", u"v", &v) == ERROR_SUCCESS && v == 7 ? 0 : 1; }), 0);
    ASSERT_EQ(SetDword(u"K", u"w", 8), ERROR_SUCCESS);
    EXPECT_FALSE(std::filesystem::exists(HivePath() + ".tmp"));
    EXPECT_EQ(GetDword(u"K", u"v", &v), ERROR_SUCCESS);
}

TEST_F(RegistryStore, CorruptOrUnreadableHiveIsReportedAndNeverReplaced) {
    std::filesystem::create_directories(m_root.Registry());
    const std::string garbage = "YRA registry hive 1\n[CLSID]\n\"x\"=dword:12\n";
    WriteFile(HivePath(), garbage);
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &k), ERROR_BADDB);
    EXPECT_NE(host::RegistryLastError().find("HKEY_CLASSES_ROOT.reg"), std::string::npos);
    EXPECT_NE(host::RegistryLastError().find(HivePath() + ":3:"), std::string::npos)
        << host::RegistryLastError();
    EXPECT_NE(host::RegistryLastError().find("Move the file aside"), std::string::npos)
        << host::RegistryLastError();
    EXPECT_EQ(SetDword(u"CLSID", u"y", 1), ERROR_BADDB);
    EXPECT_EQ(ReadFile(HivePath()), garbage);

    WriteFile(HivePath(), "");
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &k), ERROR_BADDB);
    std::filesystem::remove(HivePath());
    std::filesystem::create_directory(HivePath());
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &k), ERROR_CANTREAD);
    // Other hives are unaffected.
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStore, FailedWriteReturnsItsErrorAndKeepsThePreviousHive) {
    ASSERT_EQ(SetDword(u"K", u"v", 1), ERROR_SUCCESS);
    const std::string before = ReadFile(HivePath());
    // The temporary file cannot be created.
    std::filesystem::create_directory(HivePath() + ".tmp");
    EXPECT_EQ(SetDword(u"K", u"v", 2), ERROR_CANTWRITE);
    EXPECT_NE(host::RegistryLastError().find(".tmp"), std::string::npos);
    DWORD v = 0;
    EXPECT_EQ(GetDword(u"K", u"v", &v), ERROR_SUCCESS);
    EXPECT_EQ(v, 1u) << "a change that was not stored must not be seen";
    std::filesystem::remove(HivePath() + ".tmp");

    // The disk fills up while the hive is written.
    int status = InChild([] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::vector<BYTE> big(4096, 0xAB);
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, u"K", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return 2;
        return RegSetValueExW(k, u"big", 0, REG_BINARY, big.data(), DWORD(big.size())) == ERROR_DISK_FULL ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(HivePath()), before);
    EXPECT_FALSE(std::filesystem::exists(HivePath() + ".tmp"));
}

TEST_F(RegistryStore, RootThatCannotBeWrittenFailsWritesButAllowsReads) {
    ASSERT_EQ(SetDword(u"K", u"v", 1), ERROR_SUCCESS);
    const std::string before = ReadFile(HivePath());
    if (::geteuid() != 0) {
        std::filesystem::permissions(m_root.Registry(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        EXPECT_EQ(SetDword(u"K", u"v", 2), ERROR_ACCESS_DENIED);
        DWORD v = 0;
        EXPECT_EQ(GetDword(u"K", u"v", &v), ERROR_SUCCESS);
        EXPECT_EQ(v, 1u);
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"K", 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr),
                  ERROR_SUCCESS)
            << "opening an existing key writes nothing";
        RegCloseKey(k);
        std::filesystem::permissions(m_root.Registry(), std::filesystem::perms::owner_all);
        EXPECT_EQ(ReadFile(HivePath()), before);
    }
    // A root that cannot even be created (a file stands in its way).
    WriteFile(m_root.Path() + "/file", "x");
    ::setenv("YRA_HOST_ROOT", (m_root.Path() + "/file/root").c_str(), 1);
    EXPECT_EQ(SetDword(u"K", u"v", 2), ERROR_PATH_NOT_FOUND);
    DWORD v = 0;
    EXPECT_EQ(GetDword(u"K", u"v", &v), ERROR_FILE_NOT_FOUND);
}

// What a hostile or unlucky hive file does: each case runs in a child, so that a hang or a crash
// fails the test instead of ending the suite.
class RegistryHostileHive : public RegistryStore {
protected:
    void SetUp() override { std::filesystem::create_directories(m_root.Registry()); }

    // The child's status: 0 when reading and writing both failed with `expected` and the
    // message named the hive and `why`.
    static int RefusedInChild(LONG expected, const std::string& why) {
        return InChild([&] {
            DWORD v = 0;
            if (GetDword(u"K", u"v", &v) != expected) return 1;
            std::string message = host::RegistryLastError();
            if (message.find(HivePath()) == std::string::npos || message.find(why) == std::string::npos)
                return 2;
            if (SetDword(u"K", u"v", 1) != expected) return 3;
            return 0;
        });
    }
};

TEST_F(RegistryHostileHive, AFifoIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(::mkfifo(HivePath().c_str(), 0644), 0);
    EXPECT_EQ(RefusedInChild(ERROR_CANTREAD, "FIFO"), 0);
}

TEST_F(RegistryHostileHive, ALinkToADeviceIsRefusedUnread) {
    std::filesystem::create_symlink("/dev/zero", HivePath());
    EXPECT_EQ(RefusedInChild(ERROR_CANTREAD, "character device"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(HivePath())) << "a refused hive is never replaced";
}

TEST_F(RegistryHostileHive, AHiveLargerThanTheLimitIsRefusedUnread) {
    WriteFile(HivePath(), "YRA registry hive 1\n");
    std::filesystem::resize_file(HivePath(), host::reg::kMaxHiveBytes + 1); // sparse: no disk used
    EXPECT_EQ(RefusedInChild(ERROR_CANTREAD, "MiB"), 0);
}

TEST_F(RegistryHostileHive, DeepNestingIsACorruptHiveNamingTheLine) {
    // 100,000 levels in 200 KB, as one path and as relative lines.
    for (bool relative : {false, true}) {
        WriteFile(HivePath(), NestedHive(100000, relative));
        EXPECT_EQ(RefusedInChild(ERROR_BADDB, HivePath() + (relative ? ":514:" : ":2:")), 0) << relative;
    }
}

TEST_F(RegistryHostileHive, KeysNestAtMost512LevelsThroughTheApiToo) {
    std::u16string path = u"k";
    for (int i = 1; i < 512; ++i)
        path += u"\\k";
    EXPECT_EQ(SetDword(path.c_str(), u"deepest", 1), ERROR_SUCCESS);
    EXPECT_EQ(SetDword((path + u"\\k").c_str(), u"deeper", 1), ERROR_INVALID_PARAMETER);
    HKEY deepest = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &deepest), ERROR_SUCCESS);
    HKEY below = nullptr;
    EXPECT_EQ(RegCreateKeyExW(deepest, u"k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &below, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(deepest);
    DWORD v = 0;
    EXPECT_EQ(InChild([&] { return GetDword(path.c_str(), u"deepest", &v) == ERROR_SUCCESS ? 0 : 1; }), 0)
        << "what was stored 512 levels deep loads again";
}

TEST_F(RegistryHostileHive, AKeyNameWithAnEscapedBackslashStaysOneKeyAfterAWrite) {
    WriteFile(HivePath(), "YRA registry hive 1\n[a%005Cb]\n\"v\"=dword:00000001\n");
    ASSERT_EQ(SetDword(u"other", u"v", 2), ERROR_SUCCESS);
    const std::string text = ReadFile(HivePath());
    EXPECT_NE(text.find("\n[a%005Cb]\n"), std::string::npos) << text;
    WCHAR name[16];
    DWORD cch = 16;
    ASSERT_EQ(RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, cch), u"a\\b");
}

TEST_F(RegistryHostileHive, AWriteKeepsTheModeOfTheFileItReplaces) {
    ASSERT_EQ(SetDword(u"K", u"v", 1), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(HivePath().c_str(), 0600), 0);
    ASSERT_EQ(SetDword(u"K", u"v", 2), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(::stat(HivePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(RegistryHostileHive, ALeftoverTemporaryLinkIsReplacedNotWrittenThrough) {
    ASSERT_EQ(SetDword(u"K", u"v", 1), ERROR_SUCCESS);
    const std::string outside = m_root.Path() + "/outside";
    WriteFile(outside, "keep me");
    std::filesystem::create_symlink(outside, HivePath() + ".tmp");
    ASSERT_EQ(SetDword(u"K", u"v", 2), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(outside), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(HivePath()));
    ASSERT_EQ(::mkfifo((HivePath() + ".tmp").c_str(), 0644), 0);
    EXPECT_EQ(InChild([] { return SetDword(u"K", u"v", 3) == ERROR_SUCCESS ? 0 : 1; }), 0);
}

TEST_F(RegistryStore, WithoutAnyHomeTheRegistryRefusesInsteadOfUsingTheCurrentFolder) {
    const std::string cwd = m_root.Path() + "/cwd";
    std::filesystem::create_directories(cwd);
    int status = InChild([&] {
        if (::chdir(cwd.c_str()) != 0) return 1;
        ::unsetenv("YRA_HOST_ROOT");
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("HOME");
        if (SetDword(u"K", u"v", 1) != ERROR_PATH_NOT_FOUND) return 2;
        if (host::RegistryLastError().find("HOME") == std::string::npos) return 3;
        DWORD v = 0;
        if (GetDword(u"K", u"v", &v) != ERROR_PATH_NOT_FOUND) return 4;
        return host::RegistryHivePath(HKEY_CLASSES_ROOT).empty() ? 0 : 5;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(cwd));
}

// Names and data as awkward as the API lets them be, set through the API, stored, and read back
// from the file by a registry that has never seen them.
TEST_F(RegistryStore, EveryNameAndValueSetThroughTheApiReadsBackFromTheFile) {
    const std::u16string awkward =
        u"%\"[]@=; \t\x01\x1B\x7F\x80\x9B\u00E9\u00DF\u03A3\u03C2\u0416\u0451\u4E2D"
        u"\uFFFD\uFFFF\uFEFF\U0001F600\xD800\xDC00u0Fx:";
    std::mt19937 random(7);
    auto below = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    // Unique after case folding through the index, so every name is its own key or value.
    auto name = [&](size_t index, size_t maxLength) {
        std::u16string n;
        for (size_t i = below(maxLength + 1); i > 0; --i)
            n += below(2) ? awkward[below(awkward.size())] : char16_t(u'a' + below(26));
        return n + u"#" + std::u16string(1, char16_t(u'0' + index % 10)) + char16_t(u'0' + index / 10);
    };
    struct Stored {
        std::u16string key, name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Stored> stored;
    std::vector<std::u16string> keys{u"Top"};
    for (size_t k = 0; k < 40; ++k) {
        const std::u16string key = keys[below(keys.size())] + u"\\" + name(k, 20);
        keys.push_back(key);
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                  nullptr),
                  ERROR_SUCCESS);
        for (size_t v = below(4); v > 0; --v) {
            Stored s{key,
                     v == 1 && below(2) ? std::u16string() : name(v, 12),
                     DWORD(below(3) ? below(12) : random()),
                     {}};
            for (size_t i = below(20); i > 0; --i)
                s.data.push_back(BYTE(below(256)));
            if (s.type == REG_SZ && below(2)) { // a plain string, written as text
                s.data.clear();
                for (char16_t c : name(v, 16))
                    s.data.insert(s.data.end(), {BYTE(c & 0xFF), BYTE(c >> 8)});
                s.data.insert(s.data.end(), {0, 0});
            }
            ASSERT_EQ(RegSetValueExW(h, s.name.c_str(), 0, s.type, s.data.data(), DWORD(s.data.size())),
                      ERROR_SUCCESS);
            stored.push_back(std::move(s));
        }
        RegCloseKey(h);
    }

    ScopedHostRoot other; // a new path: nothing of the first root is cached for it
    std::filesystem::copy(m_root.Registry(), other.Registry(), std::filesystem::copy_options::recursive);
    for (const std::u16string& key : keys) {
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
        RegCloseKey(h);
    }
    for (const Stored& s : stored) {
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, s.key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
        DWORD type = 0, size = 64;
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExW(h, s.name.c_str(), nullptr, &type, data.data(), &size), ERROR_SUCCESS);
        data.resize(size);
        EXPECT_EQ(type, s.type);
        EXPECT_EQ(data, s.data);
        RegCloseKey(h);
    }
    EXPECT_EQ(ReadFile(other.Registry() + "/HKEY_CLASSES_ROOT.reg"),
              ReadFile(m_root.Registry() + "/HKEY_CLASSES_ROOT.reg"));
}

} // namespace
