#include "file_names.h"

#include <cstdio>

namespace capture_tool {
namespace {

// Length of the valid UTF-8 sequence at `at`, or 0.
size_t SequenceAt(std::string_view s, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned long code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > s.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    static const unsigned long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

} // namespace

bool IsValidUtf8(std::string_view name, size_t* badAt) {
    for (size_t at = 0; at < name.size();) {
        size_t length = SequenceAt(name, at);
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
        size_t length = SequenceAt(name, at);
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
