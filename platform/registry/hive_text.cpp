#include "hive_text.h"

#include "host/utf.h"
#include "plat/registry.h"

#include <cstdio>

namespace host::reg {

const char kHiveMagic[] = "YRA registry hive 1";

namespace {

bool IsLoneSurrogate(std::u16string_view s, size_t i) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) return !(i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF);
    if (c >= 0xDC00 && c <= 0xDFFF) return !(i > 0 && s[i - 1] >= 0xD800 && s[i - 1] <= 0xDBFF);
    return false;
}

// Writes s as UTF-8, escaping what escapeUnit selects with `intro` and four hex digits.
template <class Pred> void AppendEscaped(std::string& out, std::u16string_view s, char intro, Pred mustEscape) {
    size_t runStart = 0;
    auto flush = [&](size_t end) { out += Utf8FromWide(s.substr(runStart, end - runStart)); };
    for (size_t i = 0; i < s.size(); ++i) {
        if (!mustEscape(s, i)) continue;
        flush(i);
        char buf[8];
        std::snprintf(buf, sizeof buf, "%c%04X", intro, unsigned(s[i]));
        out += buf;
        runStart = i + 1;
    }
    flush(s.size());
}

// Backslash separates the names of a path, so a name's own backslash is escaped like % is.
void AppendKeyName(std::string& out, std::u16string_view name) {
    AppendEscaped(out, name, '%', [](std::u16string_view s, size_t i) {
        return s[i] < 0x20 || s[i] == 0x7F || s[i] == u'%' || s[i] == u'\\' || IsLoneSurrogate(s, i);
    });
}

void AppendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    size_t runStart = 0;
    auto flush = [&](size_t end) { out += Utf8FromWide(text.substr(runStart, end - runStart)); };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'"' || c == u'\\') {
            flush(i);
            out += '\\';
            out += char(c);
            runStart = i + 1;
        } else if (c < 0x20 || c == 0x7F || IsLoneSurrogate(text, i)) {
            flush(i);
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
            out += buf;
            runStart = i + 1;
        }
    }
    flush(text.size());
    out += '"';
}

// A REG_SZ that is whole UTF-16 units ending in exactly one terminator, with none inside.
bool IsPlainString(const Value& v, std::u16string* text) {
    if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return false;
    size_t n = v.data.size() / 2 - 1;
    std::u16string s(n, u'\0');
    for (size_t i = 0; i <= n; ++i) {
        char16_t c = char16_t(v.data[2 * i] | (v.data[2 * i + 1] << 8));
        if ((c == 0) != (i == n)) return false;
        if (i < n) s[i] = c;
    }
    *text = std::move(s);
    return true;
}

void AppendValue(std::string& out, const Value& v) {
    if (v.name.empty()) out += '@';
    else AppendQuoted(out, v.name);
    out += '=';
    std::u16string text;
    char buf[16];
    if (IsPlainString(v, &text)) {
        out += "sz:";
        AppendQuoted(out, text);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = DWORD(v.data[0]) | DWORD(v.data[1]) << 8 | DWORD(v.data[2]) << 16 | DWORD(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08X", unsigned(d));
        out += buf;
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%X):", unsigned(v.type));
            out += buf;
        }
        for (size_t i = 0; i < v.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", unsigned(v.data[i]));
            out += buf;
        }
    }
    out += '\n';
}

void AppendValues(std::string& out, const Key& key) {
    for (const Value& v : key.values)
        AppendValue(out, v);
}

// ---- reading -------------------------------------------------------------------------------

class LineParser {
public:
    explicit LineParser(std::string_view line) : m_s(line) {}

    bool AtEnd() const { return m_i >= m_s.size(); }
    bool Take(char c) {
        if (m_i < m_s.size() && m_s[m_i] == c) return ++m_i, true;
        return false;
    }
    bool TakeWord(std::string_view w) {
        if (m_s.substr(m_i, w.size()) != w) return false;
        m_i += w.size();
        return true;
    }
    bool Hex(size_t digits, uint32_t* value) {
        uint32_t v = 0;
        for (size_t k = 0; k < digits; ++k) {
            int h = HexDigit(m_i < m_s.size() ? m_s[m_i] : 0);
            if (h < 0) return false;
            v = v << 4 | uint32_t(h);
            ++m_i;
        }
        *value = v;
        return true;
    }
    // Hex number of 1..8 digits.
    bool HexNumber(uint32_t* value) {
        size_t start = m_i;
        uint32_t v = 0;
        while (m_i < m_s.size() && HexDigit(m_s[m_i]) >= 0 && m_i - start < 8) v = v << 4 | uint32_t(HexDigit(m_s[m_i++]));
        *value = v;
        return m_i > start;
    }
    bool Quoted(std::u16string* out) {
        if (!Take('"')) return false;
        out->clear();
        size_t runStart = m_i;
        auto flush = [&] { *out += WideFromUtf8(m_s.substr(runStart, m_i - runStart)); };
        while (m_i < m_s.size()) {
            char c = m_s[m_i];
            if (c == '"') {
                flush();
                ++m_i;
                return true;
            }
            if (c != '\\') {
                ++m_i;
                continue;
            }
            flush();
            ++m_i;
            uint32_t u = 0;
            if (Take('\\')) *out += u'\\';
            else if (Take('"')) *out += u'"';
            else if (Take('u') && Hex(4, &u)) *out += char16_t(u);
            else return false;
            runStart = m_i;
        }
        return false;
    }
    std::string_view Rest() const { return m_s.substr(m_i); }

private:
    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    std::string_view m_s;
    size_t m_i = 0;
};

bool ValidUtf8(std::string_view s) {
    std::u16string ignored;
    return WideFromValidUtf8(s, ignored);
}

bool ParseKeyName(std::string_view text, std::u16string* name) {
    name->clear();
    size_t runStart = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            ++i;
            continue;
        }
        *name += WideFromUtf8(text.substr(runStart, i - runStart));
        LineParser p(text.substr(i + 1, 4));
        uint32_t u = 0;
        if (!p.Hex(4, &u)) return false;
        *name += char16_t(u);
        i += 5;
        runStart = i;
    }
    *name += WideFromUtf8(text.substr(runStart));
    return !name->empty();
}

// Moves `stack` (the latest key and its ancestors, the root first) to the key a [...] line
// names; the reason when the line is malformed.
const char* ParseHeader(std::string_view line, std::vector<Key*>& stack) {
    if (line.back() != ']') return "a key line must end with ']'";
    std::string_view inside = line.substr(1, line.size() - 2);
    size_t ups = 0;
    while (ups < inside.size() && inside[ups] == '\\')
        ++ups;
    if (ups == 0) {
        stack.resize(1);
    } else {
        if (ups - 1 >= stack.size()) return "the key line climbs above the hive's root";
        stack.resize(stack.size() - (ups - 1));
        inside.remove_prefix(ups);
        if (inside.empty()) return "the key line names no key";
    }
    while (!inside.empty()) {
        size_t slash = inside.find('\\');
        std::u16string name;
        if (!ParseKeyName(inside.substr(0, slash), &name)) return "malformed key name";
        if (stack.size() > kMaxKeyDepth) return "keys nested deeper than 512 levels";
        Key* key = stack.back();
        Key* next = key->Child(name);
        stack.push_back(next ? next : key->AddChild(name));
        if (slash == std::string_view::npos) break;
        inside.remove_prefix(slash + 1);
        if (inside.empty()) return "malformed key name";
    }
    return nullptr;
}

bool ParseHexBytes(LineParser& p, std::vector<BYTE>* data) {
    data->clear();
    if (p.AtEnd()) return true;
    do {
        uint32_t b = 0;
        if (!p.Hex(2, &b)) return false;
        data->push_back(BYTE(b));
    } while (p.Take(','));
    return p.AtEnd();
}

bool ParseValue(std::string_view line, Key& key) {
    LineParser p(line);
    std::u16string name;
    if (!p.Take('@') && !p.Quoted(&name)) return false;
    if (!p.Take('=')) return false;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (p.TakeWord("sz:")) {
        std::u16string text;
        if (!p.Quoted(&text) || !p.AtEnd()) return false;
        type = REG_SZ;
        for (char16_t c : text) data.insert(data.end(), {BYTE(c & 0xFF), BYTE(c >> 8)});
        data.insert(data.end(), {0, 0});
    } else if (p.TakeWord("dword:")) {
        uint32_t d = 0;
        if (!p.Hex(8, &d) || !p.AtEnd()) return false;
        type = REG_DWORD;
        data = {BYTE(d), BYTE(d >> 8), BYTE(d >> 16), BYTE(d >> 24)};
    } else if (p.TakeWord("hex:")) {
        type = REG_BINARY;
        if (!ParseHexBytes(p, &data)) return false;
    } else if (p.TakeWord("hex(")) {
        uint32_t t = 0;
        if (!p.HexNumber(&t) || !p.Take(')') || !p.Take(':')) return false;
        type = t;
        if (!ParseHexBytes(p, &data)) return false;
    } else {
        return false;
    }
    key.SetValue(name, type, std::move(data));
    return true;
}

} // namespace

std::string WriteHiveText(const Key& root) {
    std::string out = std::string(kHiveMagic) + "\n";
    if (!root.values.empty()) {
        out += "\n[]\n";
        AppendValues(out, root);
    }
    // Depth first without recursion. A key whose full path is short is written with it, as
    // people read and edit it; a deeper one relative to the key written before it, so that
    // the file grows with what is stored, not with the square of the depth.
    struct Frame {
        const Key* key;
        std::map<std::u16string, std::unique_ptr<Key>>::const_iterator next;
        size_t pathMark;
    };
    std::vector<Frame> stack{{&root, root.children.begin(), 0}};
    std::string path; // the escaped full path of the key being written
    std::string name;
    size_t lastDepth = 0; // of the key whose line was written last; the root is 0
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.key->children.end()) {
            path.resize(top.pathMark);
            stack.pop_back();
            continue;
        }
        const Key& child = *(top.next++)->second;
        const size_t depth = stack.size();
        const size_t mark = path.size();
        name.clear();
        AppendKeyName(name, child.name);
        if (mark) path += '\\';
        path += name;
        out += "\n[";
        if (path.size() <= kMaxAbsoluteKeyLine) {
            out += path;
        } else {
            out.append(lastDepth + 2 - depth, '\\');
            out += name;
        }
        out += "]\n";
        lastDepth = depth;
        AppendValues(out, child);
        stack.push_back(Frame{&child, child.children.begin(), mark});
    }
    return out;
}

bool ReadHiveText(std::string_view text, Key* root, HiveTextError* error) {
    *root = Key{};
    std::vector<Key*> stack{root}; // the key of the latest [...] line and its ancestors
    bool sawMagic = false;
    bool inKey = false;
    int lineNo = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        const char* reason = nullptr;
        if (!ValidUtf8(line)) {
            reason = "not UTF-8 text";
        } else if (!sawMagic) {
            sawMagic = line == kHiveMagic;
            if (!sawMagic) reason = "not a registry hive";
        } else if (line.front() == '[') {
            reason = ParseHeader(line, stack);
            inKey = true;
        } else if (!inKey) {
            reason = "a value before the first key line";
        } else if (!ParseValue(line, *stack.back())) {
            reason = "malformed value";
        }
        if (reason) {
            *error = HiveTextError{lineNo, reason};
            *root = Key{};
            return false;
        }
    }
    if (!sawMagic) {
        *error = HiveTextError{0, "empty file, not a registry hive"};
        return false;
    }
    return true;
}

} // namespace host::reg
