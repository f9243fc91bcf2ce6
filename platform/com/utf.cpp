#include "host/utf.h"

namespace host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (c >> 10));
        out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Overlong forms, surrogates and values past
// U+10FFFF are malformed: they give U+FFFD and clear `valid`.
char32_t DecodeUtf8(std::string_view s, size_t& i, bool& valid) {
    auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    valid = false;
    int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
    if (extra < 0 || b0 > 0xF4) return kReplacement;
    char32_t c = b0 & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size()) return kReplacement;
        auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (b & 0x3F);
        ++i;
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    valid = true;
    return c;
}

} // namespace

std::string Utf8FromWide(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string WideFromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    bool valid = true;
    for (size_t i = 0; i < utf8.size();)
        AppendUtf16(out, DecodeUtf8(utf8, i, valid));
    return out;
}

bool WideFromValidUtf8(std::string_view utf8, std::u16string& out) {
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        bool valid = true;
        char32_t c = DecodeUtf8(utf8, i, valid);
        if (!valid) {
            out.clear();
            return false;
        }
        AppendUtf16(out, c);
    }
    return true;
}

size_t Utf8SequenceLength(std::string_view s, size_t at) {
    if (at >= s.size()) return 0;
    size_t i = at;
    bool valid = true;
    DecodeUtf8(s, i, valid);
    return valid ? i - at : 0;
}

size_t PrintableUtf8Length(std::string_view s, size_t at) {
    if (at >= s.size()) return 0;
    size_t i = at;
    bool valid = true;
    const char32_t c = DecodeUtf8(s, i, valid);
    if (!valid || c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return 0;
    return i - at;
}

} // namespace host
