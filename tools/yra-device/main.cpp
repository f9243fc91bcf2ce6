// yra-device: the cable of the virtual devices. Lists them, and unplugs, plugs in or resets one
// as a person at the hardware would. See --help.
#include "host/device_list.h"
#include "host/device_presence.h"
#include "host/result_names.h"
#include "host/utf.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: yra-device list\n"
    "       yra-device unplug DEVICE\n"
    "       yra-device plug DEVICE\n"
    "       yra-device reset DEVICE\n"
    "\n"
    "The virtual capture devices of $YRA_HOST_ROOT/devices.conf (or the one built-in\n"
    "\"YRA USB Device\"), as hardware: every program sees the same device and its settings.\n"
    "DEVICE is a number from 'list' or a device's name (case ignored; the first of that name).\n"
    "\n"
    "  list     every listed device: number, plugged in or not, streaming or not, name\n"
    "  unplug   pulls the cable: a recording of the device ends there (the file keeps what\n"
    "           arrived), every program's calls on it fail, and it is no longer listed\n"
    "  plug     plugs it in again: it powers on with its default settings\n"
    "  reset    puts its default settings back, as after power-on, while it stays plugged in\n"
    "\n"
    "Exit status: 0 when done (also when the device already was so), 1 when it failed, 2 for a\n"
    "usage mistake.\n";

bool SameName(const std::u16string& name, std::string_view wanted) {
    const std::string utf8 = host::Utf8FromWide(name);
    if (utf8.size() != wanted.size()) return false;
    for (size_t i = 0; i < utf8.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(utf8[i])) !=
            std::tolower(static_cast<unsigned char>(wanted[i])))
            return false;
    return true;
}

const host::DeviceListEntry* Find(const host::DeviceList& list, std::string_view which) {
    size_t index = 0;
    const auto [end, error] = std::from_chars(which.data(), which.data() + which.size(), index);
    if (error == std::errc() && end == which.data() + which.size())
        return index < list.devices.size() ? &list.devices[index] : nullptr;
    for (const host::DeviceListEntry& device : list.devices)
        if (SameName(device.config.name, which)) return &device;
    return nullptr;
}

// Names come from a file: anything but printable ASCII and UTF-8 is shown escaped.
std::string Printable(const std::u16string& name) {
    std::string shown;
    for (unsigned char c : host::Utf8FromWide(name)) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

int List(const host::DeviceList& list) {
    int status = 0;
    for (size_t i = 0; i < list.devices.size(); ++i) {
        const host::DeviceListEntry& device = list.devices[i];
        host::DevicePresence presence;
        const HRESULT hr = host::QueryDevicePresence(device, &presence);
        if (FAILED(hr)) {
            std::printf("%zu: %-10s %-10s %s\n", i, "unknown", "", Printable(device.config.name).c_str());
            std::fprintf(stderr, "yra-device: device %zu: its state cannot be opened (%s)\n", i,
                         host::FormatResult(hr).c_str());
            status = 1;
            continue;
        }
        std::printf("%zu: %-10s %-10s %s\n", i, presence.plugged ? "plugged" : "unplugged",
                    presence.streaming ? "streaming" : "idle", Printable(device.config.name).c_str());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "yra-device: cannot write the list to standard output\n");
        return 1;
    }
    return status;
}

int Change(const std::string& action, const host::DeviceListEntry& device, size_t index) {
    HRESULT hr = E_INVALIDARG;
    const char* done = "";
    const char* already = "";
    if (action == "unplug") {
        hr = host::UnplugDevice(device);
        done = "unplugged";
        already = "was already unplugged";
    } else if (action == "plug") {
        hr = host::PlugDevice(device);
        done = "plugged in (default settings)";
        already = "was already plugged in";
    } else {
        hr = host::ResetDevice(device);
        done = "reset to its default settings";
    }
    const std::string name = Printable(device.config.name);
    if (FAILED(hr)) {
        const char* why = hr == host::kDeviceNotConnected ? ": it is unplugged" : "";
        std::fprintf(stderr, "yra-device: %s %zu (%s) failed%s, %s\n", action.c_str(), index, name.c_str(),
                     why, host::FormatResult(hr).c_str());
        return 1;
    }
    std::printf("%zu: %s %s\n", index, name.c_str(), hr == S_FALSE ? already : done);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string action = argc > 1 ? argv[1] : "";
    if (action == "-h" || action == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool changes = action == "unplug" || action == "plug" || action == "reset";
    if (!(action == "list" && argc == 2) && !(changes && argc == 3)) {
        std::fprintf(stderr, "yra-device: %s\nTry 'yra-device --help'.\n",
                     action.empty() ? "nothing to do" : "expected list, or unplug/plug/reset and one DEVICE");
        return 2;
    }
    host::DeviceList list = host::LoadDeviceList();
    if (list.devices.empty()) {
        const std::string path = host::DeviceListPath();
        if (path.empty())
            std::fprintf(stderr, "yra-device: no devices, as there is no device list: set YRA_HOST_ROOT\n");
        else
            std::fprintf(stderr, "yra-device: no devices are listed in %s\n", path.c_str());
        return 1;
    }
    if (action == "list") return List(list);
    const host::DeviceListEntry* device = Find(list, argv[2]);
    if (!device) {
        std::fprintf(stderr, "yra-device: no device '%s' ('yra-device list' shows them)\n", argv[2]);
        return 1;
    }
    return Change(action, *device, static_cast<size_t>(device - list.devices.data()));
}
