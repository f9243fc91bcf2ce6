// The text form of a registered filter's FilterData value.
#include "host/filter_registry.h"

#include "plat/com.h"

#include <cstdio>

namespace host {
namespace {

std::u16string GuidText(REFGUID g) {
    OLECHAR buf[GUID_STRING_CHARS];
    StringFromGUID2(g, buf, GUID_STRING_CHARS);
    return buf;
}

std::u16string Ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

std::u16string Quoted(std::u16string_view s) {
    std::u16string out = u"\"";
    for (char16_t c : s) {
        if (c == u'"' || c == u'\\') out += u'\\';
        out += c;
    }
    return out + u"\"";
}

std::u16string Flag(const char* name, bool on) { return u" " + Ascii(name) + (on ? u"=1" : u"=0"); }

// Splits "key=value" tokens; quoted values may hold spaces, ';' and escaped quotes.
class Tokens {
public:
    explicit Tokens(std::u16string_view s) : m_s(s) {}

    // Next token: ";" or key=value. False at the end or on a malformed token.
    bool Next(std::u16string* key, std::u16string* value, bool* separator) {
        while (m_i < m_s.size() && m_s[m_i] == u' ') ++m_i;
        if (m_i >= m_s.size()) return false;
        *separator = m_s[m_i] == u';';
        if (*separator) return ++m_i, true;
        size_t start = m_i;
        while (m_i < m_s.size() && m_s[m_i] != u'=' && m_s[m_i] != u' ' && m_s[m_i] != u';') ++m_i;
        *key = m_s.substr(start, m_i - start);
        value->clear();
        // A bare word ("pin") has no value.
        if (m_i >= m_s.size() || m_s[m_i] != u'=') return true;
        ++m_i;
        if (m_i < m_s.size() && m_s[m_i] == u'"') {
            for (++m_i; m_i < m_s.size() && m_s[m_i] != u'"'; ++m_i) {
                if (m_s[m_i] == u'\\' && m_i + 1 < m_s.size()) ++m_i;
                *value += m_s[m_i];
            }
            if (m_i >= m_s.size()) return Fail();
            ++m_i;
        } else {
            while (m_i < m_s.size() && m_s[m_i] != u' ' && m_s[m_i] != u';') *value += m_s[m_i++];
        }
        return true;
    }
    bool Failed() const { return m_failed; }

private:
    bool Fail() {
        m_failed = true;
        return false;
    }
    std::u16string_view m_s;
    size_t m_i = 0;
    bool m_failed = false;
};

bool ParseGuid(std::u16string_view text, GUID* g) {
    if (text.size() != GUID_STRING_CHARS - 1) return false;
    std::u16string s(text);
    return SUCCEEDED(CLSIDFromString(s.c_str(), g));
}

bool ParseNumber(std::u16string_view text, DWORD* value) {
    std::string s(text.begin(), text.end());
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (s.empty() || *end || v > 0xFFFFFFFFul) return false;
    *value = DWORD(v);
    return true;
}

// Splits "a/b[/c...]" into its parts.
std::vector<std::u16string_view> Parts(std::u16string_view s) {
    std::vector<std::u16string_view> parts;
    for (size_t slash; (slash = s.find(u'/')) != std::u16string_view::npos; s.remove_prefix(slash + 1))
        parts.push_back(s.substr(0, slash));
    parts.push_back(s);
    return parts;
}

bool ApplyPinField(RegisteredPin& pin, std::u16string_view key, std::u16string_view value) {
    DWORD n = 0;
    if (key == u"name") return pin.name = value, true;
    if (key == u"connects-pin") return pin.connectsToPin = value, true;
    if (key == u"connects-filter") return ParseGuid(value, &pin.connectsToFilter);
    if (key == u"category") return ParseGuid(value, &pin.category);
    if (key == u"instances") return ParseNumber(value, &n) && (pin.instances = n, true);
    bool* flag = key == u"rendered" ? &pin.rendered
                 : key == u"output" ? &pin.output
                 : key == u"zero"   ? &pin.zero
                 : key == u"many"   ? &pin.many
                                    : nullptr;
    if (flag) return ParseNumber(value, &n) && n <= 1 && (*flag = n == 1, true);
    auto parts = Parts(value);
    if (key == u"type") {
        RegisteredPinType t{};
        if (parts.size() != 2 || !ParseGuid(parts[0], &t.major) || !ParseGuid(parts[1], &t.minor)) return false;
        pin.types.push_back(t);
        return true;
    }
    if (key == u"medium") {
        RegisteredMedium m{};
        if (parts.size() != 3 || !ParseGuid(parts[0], &m.clsid) || !ParseNumber(parts[1], &m.dw1) ||
            !ParseNumber(parts[2], &m.dw2))
            return false;
        pin.mediums.push_back(m);
        return true;
    }
    return false;
}

} // namespace

std::u16string EncodeFilterData(const RegisteredFilter& filter) {
    char head[64];
    std::snprintf(head, sizeof head, "version=%u; merit=0x%08X", unsigned(filter.version), unsigned(filter.merit));
    std::u16string out = Ascii(head);
    for (const RegisteredPin& pin : filter.pins) {
        out += u"; pin";
        if (filter.version == 1) out += u" name=" + Quoted(pin.name);
        out += Flag("rendered", pin.rendered) + Flag("output", pin.output) + Flag("zero", pin.zero) +
               Flag("many", pin.many);
        if (pin.connectsToFilter != GUID_NULL) out += u" connects-filter=" + GuidText(pin.connectsToFilter);
        if (!pin.connectsToPin.empty()) out += u" connects-pin=" + Quoted(pin.connectsToPin);
        if (pin.instances) out += u" instances=" + Ascii(std::to_string(pin.instances).c_str());
        if (pin.category != GUID_NULL) out += u" category=" + GuidText(pin.category);
        for (const auto& t : pin.types) out += u" type=" + GuidText(t.major) + u"/" + GuidText(t.minor);
        for (const auto& m : pin.mediums)
            out += u" medium=" + GuidText(m.clsid) + u"/" + Ascii(std::to_string(m.dw1).c_str()) + u"/" +
                   Ascii(std::to_string(m.dw2).c_str());
    }
    return out;
}

bool DecodeFilterData(std::u16string_view text, RegisteredFilter* filter) {
    Tokens tokens(text);
    std::u16string key, value;
    bool separator = false;
    RegisteredPin* pin = nullptr;
    bool sawVersion = false, afterSeparator = false;
    filter->pins.clear();
    while (tokens.Next(&key, &value, &separator)) {
        if (separator) {
            pin = nullptr;
            afterSeparator = true;
            continue;
        }
        bool startsPin = afterSeparator && key == u"pin" && value.empty();
        afterSeparator = false;
        if (startsPin) {
            pin = &filter->pins.emplace_back();
            continue;
        }
        bool ok = true;
        if (pin) ok = ApplyPinField(*pin, key, value);
        else if (key == u"version") ok = sawVersion = ParseNumber(value, &filter->version);
        else if (key == u"merit") ok = ParseNumber(value, &filter->merit);
        else ok = false;
        if (!ok) return false;
    }
    return sawVersion && !tokens.Failed();
}

} // namespace host
