// Reading devices.conf: one device per line, the name first, then options separated by ';'.
#include "host/device_list.h"

#include "host/utf.h"
#include "plat/com.h"
#include "plat/ks.h"

#include <charconv>
#include <optional>

namespace host {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Text from the file as a problem report shows it: quoted, with every byte that could act on
// a terminal or is not UTF-8 written as \xHH, and cut short when long.
std::string Quote(std::string_view text) {
    constexpr size_t kShown = 80;
    std::string out = "'";
    size_t i = 0;
    while (i < text.size() && i < kShown) {
        const size_t n = PrintableUtf8Length(text, i);
        if (n) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        static const char kHex[] = "0123456789ABCDEF";
        const auto b = static_cast<unsigned char>(text[i++]);
        out += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    }
    if (i < text.size()) out += "...";
    return out + "'";
}

std::vector<std::string_view> Split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t end = s.find(separator, start);
        parts.push_back(
            s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// A decimal or 0x-prefixed hexadecimal number that fits 32 bits, nothing else.
std::optional<uint32_t> ParseNumber(std::string_view text) {
    text = Trim(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<uint8_t> ParseByte(std::string_view text) {
    const std::optional<uint32_t> value = ParseNumber(text);
    if (!value || *value > 255) return std::nullopt;
    return static_cast<uint8_t>(*value);
}

std::optional<GUID> ParsePropertySet(std::string_view name) {
    struct Named {
        std::string_view name;
        const GUID& set;
    };
    static const Named kSets[] = {{"ENC", PROPSETID_HDC_ENCODER},
                                  {"DEV", PROPSETID_HDC_DEVICE},
                                  {"VPA", PROPSETID_VIDCAP_VIDEOPROCAMP},
                                  {"NODE2", PROPSETID_EXT_NODE2},
                                  {"NODE4", PROPSETID_EXT_NODE4}};
    for (const Named& n : kSets)
        if (n.name == name) return n.set;
    GUID set{};
    if (SUCCEEDED(CLSIDFromString(WideFromUtf8(name).c_str(), &set))) return set;
    return std::nullopt;
}

std::optional<IID> ParseInterface(std::string_view name) {
    struct Named {
        std::string_view name;
        const IID& iid;
    };
    static const Named kInterfaces[] = {{"IKsPropertySet", IID_IKsPropertySet},
                                        {"IKsControl", IID_IKsControl},
                                        {"ISpecifyPropertyPages", IID_ISpecifyPropertyPages},
                                        {"IBaseFilter", IID_IBaseFilter}};
    for (const Named& n : kInterfaces)
        if (n.name == name) return n.iid;
    return std::nullopt;
}

std::optional<PropertyAccess> ParseAccess(std::string_view name) {
    if (name == "get") return PropertyAccess::Get;
    if (name == "set") return PropertyAccess::Set;
    if (name == "query") return PropertyAccess::QuerySupported;
    return std::nullopt;
}

// Fills one option into the entry; the problem's text when the option is malformed.
std::optional<std::string> ApplyOption(std::string_view option, DeviceListEntry& entry) {
    const size_t equals = option.find('=');
    if (equals == std::string_view::npos) return "option " + Quote(option) + " has no '='";
    const std::string_view key = Trim(option.substr(0, equals));
    const std::string_view value = Trim(option.substr(equals + 1));

    if (key == "hdmi") {
        const std::optional<uint8_t> code = ParseByte(value);
        if (!code) return "hdmi must be a number from 0 to 255";
        entry.config.hdmiCode = *code;
        return std::nullopt;
    }
    if (key == "mcu") {
        const std::vector<std::string_view> parts = Split(value, '.');
        std::optional<uint8_t> major = parts.size() == 2 ? ParseByte(parts[0]) : std::nullopt;
        std::optional<uint8_t> minor = parts.size() == 2 ? ParseByte(parts[1]) : std::nullopt;
        if (!major || !minor) return "mcu must be MAJOR.MINOR, each from 0 to 255";
        entry.config.firmwareMajor = *major;
        entry.config.firmwareMinor = *minor;
        return std::nullopt;
    }
    if (key == "chip") {
        const std::optional<uint32_t> chip = ParseNumber(value);
        if (!chip) return "chip must be a 32-bit number";
        entry.config.chipId = *chip;
        return std::nullopt;
    }
    if (key == "fail") {
        const std::vector<std::string_view> parts = Split(value, ':');
        if (parts.size() == 4) {
            const std::optional<GUID> set = ParsePropertySet(Trim(parts[0]));
            const std::optional<uint32_t> id = ParseNumber(parts[1]);
            const std::optional<PropertyAccess> access = ParseAccess(Trim(parts[2]));
            const std::optional<uint32_t> code = ParseNumber(parts[3]);
            if (!set) return "unknown property set " + Quote(Trim(parts[0]));
            if (!id || !access || !code) return "fail must be SET:ID:get|set|query:CODE";
            entry.propertyFaults.push_back({*set, *id, *access, static_cast<HRESULT>(*code)});
            return std::nullopt;
        }
        if (parts.size() == 1 || parts.size() == 2) {
            const std::optional<IID> iid = ParseInterface(Trim(parts[0]));
            if (!iid) return "unknown interface " + Quote(Trim(parts[0]));
            std::optional<uint32_t> code = static_cast<uint32_t>(E_NOINTERFACE);
            if (parts.size() == 2) code = ParseNumber(parts[1]);
            if (!code || SUCCEEDED(static_cast<HRESULT>(*code)))
                return "an interface fault needs a failure code";
            entry.interfaceFaults.push_back({*iid, static_cast<HRESULT>(*code)});
            return std::nullopt;
        }
        return "fail must be SET:ID:ACCESS:CODE or INTERFACE[:CODE]";
    }
    return "unknown option " + Quote(key);
}

} // namespace

DeviceList ParseDeviceList(std::string_view text) {
    DeviceList list;
    int number = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++number;
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;

        DeviceListEntry entry;
        entry.line = number;
        entry.source = std::string(line);
        const std::vector<std::string_view> fields = Split(line, ';');
        const std::string_view name = Trim(fields.front());
        std::optional<std::string> problem;
        if (name.empty()) problem = "no device name before the options";
        entry.config.name = WideFromUtf8(name);
        for (size_t i = 1; i < fields.size() && !problem; ++i) {
            const std::string_view option = Trim(fields[i]);
            if (!option.empty()) problem = ApplyOption(option, entry);
        }
        if (problem)
            list.problems.push_back({number, *problem});
        else
            list.devices.push_back(std::move(entry));
    }
    return list;
}

} // namespace host
