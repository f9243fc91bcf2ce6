// Loops kept on disk for every process: read back by another cache without encoding, and never
// trusted when the file is not what it claims to be.
#include "host/host_root.h"
#include "platform/devices/encoder/loop_cache.h"
#include "platform/devices/encoder/loop_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace host::encoder;
using namespace std::chrono_literals;

namespace {

// Small and quick to encode.
EncoderSettings Tiny(int bitrate = 200) {
    EncoderSettings s;
    s.width = 64;
    s.height = 64;
    s.frameRate = {5, 1};
    s.bitrateKbps = bitrate;
    s.audioEnabled = false;
    s.deviceName = "Tiny";
    return s;
}

Result<LoopCache::Loop> NeverEncode(const EncoderSettings&, const std::atomic<bool>&) {
    return Status::Fail(E_FAIL, "this cache must find the loop on disk");
}

class LoopFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(host::HostRootPath());
        std::filesystem::create_directories(LoopFolder());
    }
};

TEST_F(LoopFiles, ALoopEncodedInOneCacheStartsAnotherWithoutEncoding) {
    std::vector<uint8_t> bytes;
    {
        LoopCache first({}, 4, LoopCache::Files::Use);
        Result<LoopCache::Loop> loop = first.Get(Tiny());
        ASSERT_TRUE(loop.ok()) << loop.status().message;
        bytes = loop.value()->bytes;
        EXPECT_EQ(first.EncodeCount(), 1u);
    }
    LoopCache second(NeverEncode, 4, LoopCache::Files::Use);
    Result<LoopCache::Loop> again = second.Get(Tiny());
    ASSERT_TRUE(again.ok()) << again.status().message;
    EXPECT_EQ(second.EncodeCount(), 0u);
    EXPECT_EQ(again.value()->bytes, bytes);
    EXPECT_EQ(again.value()->chunks.size(), static_cast<size_t>(again.value()->plan.VideoFrames()));

    // A cache told to leave files alone encodes.
    LoopCache ignoring(NeverEncode, 4, LoopCache::Files::Ignore);
    EXPECT_FALSE(ignoring.Get(Tiny()).ok());
}

TEST_F(LoopFiles, AFileThatIsNotTheLoopAskedForIsNotUsed) {
    LoopCache cache({}, 4, LoopCache::Files::Use);
    ASSERT_TRUE(cache.Get(Tiny()).ok());
    const std::string path = LoopFilePath(Tiny());
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    ASSERT_NE(LoadLoopFile(Tiny()), nullptr);

    // Another setting's file under this setting's name: the key inside tells them apart.
    const std::string other = LoopFilePath(Tiny(300));
    std::filesystem::copy_file(path, other);
    EXPECT_EQ(LoadLoopFile(Tiny(300)), nullptr);

    // Cut short.
    const auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size - 100);
    EXPECT_EQ(LoadLoopFile(Tiny()), nullptr);
    // Packets that lost their sync: they do not index as a loop.
    std::filesystem::resize_file(path, size);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size - 188 * 3));
        const std::string junk(188 * 3, '\0');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    EXPECT_EQ(LoadLoopFile(Tiny()), nullptr);

    // Not a regular file: refused at once, neither waited on nor read without end.
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(LoadLoopFile(Tiny()), nullptr);
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/zero", path);
    EXPECT_EQ(LoadLoopFile(Tiny()), nullptr);

    // A bad file is replaced by the next encode.
    std::filesystem::remove(path);
    std::ofstream(path) << "not a loop";
    LoopCache fresh({}, 4, LoopCache::Files::Use);
    ASSERT_TRUE(fresh.Get(Tiny()).ok());
    EXPECT_EQ(fresh.EncodeCount(), 1u);
    EXPECT_NE(LoadLoopFile(Tiny()), nullptr);
}

// Without any place for the host's files a loop is kept in memory only: nothing is written
// relative to "/" or the current folder.
TEST_F(LoopFiles, WithoutAHostRootNothingIsKeptOnDisk) {
    const std::string root = host::HostRootPath();
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::unsetenv("YRA_HOST_ROOT");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    const std::string folder = LoopFolder();
    LoopCache cache({}, 4, LoopCache::Files::Use);
    Result<LoopCache::Loop> loop = cache.Get(Tiny());
    const bool saved = loop.ok() && SaveLoopFile(*loop.value());
    ::setenv("YRA_HOST_ROOT", root.c_str(), 1);
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(folder, "");
    ASSERT_TRUE(loop.ok()) << loop.status().message;
    EXPECT_FALSE(saved);
    EXPECT_FALSE(std::filesystem::exists("/loops"));
}

} // namespace
