#include "file_names.h"

#include "host/utf.h"

#include <cstdio>

namespace capture_tool {

bool IsValidUtf8(std::string_view name, size_t* badAt) {
    for (size_t at = 0; at < name.size();) {
        size_t length = host::Utf8SequenceLength(name, at);
        if (length == 0) {
            if (badAt) *badAt = at;
            return false;
        }
        at += length;
    }
    return true;
}

std::string Printable(std::string_view name) {
    std::string out;
    for (size_t at = 0; at < name.size();) {
        const auto c = static_cast<unsigned char>(name[at]);
        size_t length = host::Utf8SequenceLength(name, at);
        if (length == 0 || c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            out += escaped;
            ++at;
        } else {
            out.append(name.substr(at, length));
            at += length;
        }
    }
    return out;
}

} // namespace capture_tool
