#include "device_list_check.h"

#include "host/device_list.h"

#include <algorithm>
#include <string_view>

namespace host {
namespace {

// A report may hold printable UTF-8 only: no C0, DEL or C1 controls, no malformed sequences.
bool Printable(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80                 ? 1
                   : b >= 0xC2 && b <= 0xDF ? 2
                   : b >= 0xE0 && b <= 0xEF ? 3
                   : b >= 0xF0 && b <= 0xF4 ? 4
                                            : 0;
        if (n == 0 || i + n > s.size()) return false;
        if (n == 1 && (b < 0x20 || b == 0x7F)) return false;
        if (n == 2 && b == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

} // namespace

std::string CheckDeviceListParse(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const DeviceList list = ParseDeviceList(text);
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (list.devices.size() + list.problems.size() > static_cast<size_t>(lines))
        return "more entries than lines";
    int previous = 0;
    for (const DeviceListEntry& device : list.devices) {
        if (device.line <= previous || device.line > lines) return "a device's line number is out of order";
        previous = device.line;
        if (device.config.name.empty()) return "a device without a name";
        if (device.source.empty() || text.find(device.source) == std::string_view::npos)
            return "a device's source is not a line of the text";
    }
    previous = 0;
    for (const DeviceListProblem& problem : list.problems) {
        if (problem.line <= previous || problem.line > lines)
            return "a problem's line number is out of order";
        previous = problem.line;
        if (problem.message.empty() || problem.message.size() > 400)
            return "a problem's message is empty or huge";
        if (!Printable(problem.message))
            return "a problem's message is not safe to print: " + problem.message;
        for (const DeviceListEntry& device : list.devices)
            if (device.line == problem.line) return "a line is both a device and a problem";
    }
    return {};
}

} // namespace host
