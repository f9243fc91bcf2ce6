// UTF-8 <-> UTF-16 for the host's edges (file names, text files, the loader). Unpaired
// surrogates and malformed bytes become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace host {

std::string Utf8FromWide(std::u16string_view wide);
std::u16string WideFromUtf8(std::string_view utf8);
// For names that must survive the trip unchanged: false (and `out` empty) when any byte
// sequence is not UTF-8.
bool WideFromValidUtf8(std::string_view utf8, std::u16string& out);
// Length of the UTF-8 sequence at s[at], or 0 when the bytes there are not UTF-8.
size_t Utf8SequenceLength(std::string_view s, size_t at);
// The same, but also 0 for a character that could act on a terminal (C0, DEL, C1 controls).
size_t PrintableUtf8Length(std::string_view s, size_t at);

} // namespace host
