// UTF-8 <-> UTF-16 for the host's edges (file names, text files, the loader). Unpaired
// surrogates and malformed bytes become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace host {

std::string Utf8FromWide(std::u16string_view wide);
std::u16string WideFromUtf8(std::string_view utf8);

} // namespace host
