// The loop encoder lives in its own module, libyraencoder.so, beside libyrahost.so: it is the
// only part of the host that needs the codec libraries (over a hundred shared objects), so a
// process pays for loading them only when it first encodes a loop. The module exports one C
// entry point that hands out this table; both sides are built together from this header.
#pragma once

#include "platform/devices/encoder/encoded_loop.h"
#include "platform/devices/encoder/encoder_status.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace host::encoder {

// Raised whenever the table or the types it passes change.
inline constexpr uint32_t kEncoderModuleAbi = 1;
inline constexpr char kEncoderModuleFile[] = "libyraencoder.so";
inline constexpr char kEncoderModuleEntry[] = "YraEncoderModule";

// The codec library version the loops are made with (the build takes it from the package the
// module is built against), part of every loop file's key. Known without loading the module.
unsigned EncoderCodecVersion();

struct EncoderModuleApi {
    uint32_t abi;
    unsigned codecVersion;
    Result<std::shared_ptr<const EncodedLoop>> (*encodeLoop)(const EncoderSettings& settings,
                                                             const std::atomic<bool>& cancel);
};

// The entry point's type: null when the module does not speak `abi`.
using EncoderModuleEntry = const EncoderModuleApi* (*)(uint32_t abi);

// Loads the module at `path` (RTLD_LOCAL) and checks its table. Every failure names the file.
// The module stays loaded: the loops it made share code with it.
Result<const EncoderModuleApi*> LoadEncoderModule(const std::string& path);

// The module beside libyrahost.so, loaded on first use; a failure is reported to every caller
// until a load succeeds.
Result<const EncoderModuleApi*> EncoderModule();

// Encodes through EncoderModule(); its load failure is the encode's.
Result<std::shared_ptr<const EncodedLoop>> EncodeLoopInModule(const EncoderSettings& settings,
                                                              const std::atomic<bool>& cancel);

// The folder libyrahost.so was loaded from.
std::string HostLibraryFolder();

} // namespace host::encoder
