// File names as the program can take them: it holds names as Unicode text, so a name must be
// valid UTF-8 to reach the file system byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace capture_tool {

// True when `name` is valid UTF-8; otherwise false with the offset of the first bad byte.
bool IsValidUtf8(std::string_view name, size_t* badAt);
// `name` for a message: control characters and bytes that are not UTF-8 as \xHH.
std::string Printable(std::string_view name);

} // namespace capture_tool
