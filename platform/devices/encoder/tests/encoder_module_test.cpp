// The loop encoder as a module of its own: the codec libraries arrive with the first encode, not
// with the host, and a module that cannot be used is reported with its file's name.
#include "platform/devices/encoder/encoder_module.h"
#include "platform/devices/encoder/loop_files.h"

#include <gtest/gtest.h>

#include <link.h>

#include <cstring>
#include <fstream>
#include <string>

using namespace host::encoder;

namespace {

bool CodecLibraryLoaded() {
    bool found = false;
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "libavcodec"))
                *static_cast<bool*>(data) = true;
            return 0;
        },
        &found);
    return found;
}

EncoderSettings Tiny() {
    EncoderSettings s;
    s.width = 64;
    s.height = 64;
    s.frameRate = {5, 1};
    s.bitrateKbps = 200;
    s.audioEnabled = false;
    s.deviceName = "Tiny";
    return s;
}

void ExpectFailureNaming(const Result<const EncoderModuleApi*>& module, HRESULT code,
                         const std::string& path) {
    ASSERT_FALSE(module.ok());
    EXPECT_EQ(module.status().code, code);
    EXPECT_NE(module.status().message.find(path), std::string::npos) << module.status().message;
}

} // namespace

// Runs before anything in this process loads the module: the test program itself links only the
// host library.
TEST(EncoderModule, CodecLibrariesArriveWithTheFirstEncodeOnly) {
    ASSERT_FALSE(CodecLibraryLoaded()) << "the host library pulls in the codec libraries itself";

    std::atomic<bool> cancel{false};
    Result<std::shared_ptr<const EncodedLoop>> loop = EncodeLoopInModule(Tiny(), cancel);
    ASSERT_TRUE(loop.ok()) << loop.status().message;
    EXPECT_FALSE(loop.value()->packets.empty());
    EXPECT_TRUE(CodecLibraryLoaded());

    Result<const EncoderModuleApi*> module = EncoderModule();
    ASSERT_TRUE(module.ok()) << module.status().message;
    EXPECT_EQ(module.value()->codecVersion, EncoderCodecVersion());
    EXPECT_NE(LoopKey(Tiny()).find("codec=" + std::to_string(EncoderCodecVersion()) + " "),
              std::string::npos);
}

TEST(EncoderModule, AModuleThatCannotBeUsedIsReportedByName) {
    const std::string missing = ::testing::TempDir() + "/no-such-folder/libyraencoder.so";
    ExpectFailureNaming(LoadEncoderModule(missing), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), missing);

    const std::string notAModule = ::testing::TempDir() + "/encoder-module-test-text.so";
    std::ofstream(notAModule) << "not a shared object\n";
    ExpectFailureNaming(LoadEncoderModule(notAModule), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), notAModule);

    // A real shared object without the entry point.
    const std::string host = HostLibraryFolder() + "/libyrahost.so";
    const Result<const EncoderModuleApi*> hostAsModule = LoadEncoderModule(host);
    ExpectFailureNaming(hostAsModule, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), host);
    EXPECT_NE(hostAsModule.status().message.find(kEncoderModuleEntry), std::string::npos);
}
