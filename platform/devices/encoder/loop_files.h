// Encoded loops kept on disk under the host root, so that a device's stream starts at once in
// any process once some process has encoded that setting. A file is trusted with nothing: it is
// read only when it is a regular file of bounded size whose key matches, and its packets are
// indexed (and so checked) as a fresh encode's are.
#pragma once

#include "platform/devices/encoder/encoded_loop.h"

#include <memory>
#include <string>

namespace host::encoder {

// The largest loop file read back.
inline constexpr size_t kLongestLoopFile = size_t{256} << 20;

// $YRA_HOST_ROOT/loops
std::string LoopFolder();
// The file that holds the loop for `settings`, and what it is keyed by.
std::string LoopFilePath(const EncoderSettings& settings);
std::string LoopKey(const EncoderSettings& settings);

// The loop for `settings` from its file; null when there is none or it does not hold that loop.
std::shared_ptr<const EncodedLoop> LoadLoopFile(const EncoderSettings& settings);
// Writes the loop's file whole and renames it into place; false when it could not.
bool SaveLoopFile(const EncodedLoop& loop);

} // namespace host::encoder
