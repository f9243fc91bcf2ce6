// The virtual devices "attached" to this host: the lines of $YRA_HOST_ROOT/devices.conf, or one
// device named "YRA USB Device" when there is no such file. The system device enumerator lists
// them under the kernel-streaming data-compressor category.
//
// devices.conf, UTF-8, one device per line:
//
//     NAME [; OPTION]...
//
// Blank lines and lines whose first non-blank character is '#' are ignored; the name is the
// text before the first ';' with surrounding blanks removed, and may hold any other character.
// Options:
//     hdmi=N                         HDMI receiver resolution code, 0..255 (default 22)
//     mcu=MAJOR.MINOR                MCU firmware version, each 0..255 (default 1.3)
//     chip=N                         what the identification register reads (default 0x10020)
//     fail=SET:ID:ACCESS:CODE        answer that property request with CODE; SET is ENC, DEV,
//                                    VPA, NODE2, NODE4 or a {GUID}; ACCESS get, set or query
//     fail=INTERFACE[:CODE]          refuse a query for IKsPropertySet, IKsControl,
//                                    ISpecifyPropertyPages or IBaseFilter (default E_NOINTERFACE)
// Numbers are decimal or 0x-prefixed hexadecimal. A malformed line is reported with its line
// number and skipped; text from the line in a report has control bytes and bytes that are not
// UTF-8 written as \xHH. Only a regular file of at most kMaxDeviceListBytes is read.
#pragma once

#include "host/device_model.h"
#include "plat/media.h"

#include <string>
#include <string_view>
#include <vector>

namespace host {

struct PropertyFault {
    GUID set{};
    ULONG id = 0;
    PropertyAccess access = PropertyAccess::Get;
    HRESULT result = E_FAIL;
};

struct InterfaceFault {
    IID iid{};
    HRESULT result = E_NOINTERFACE;
};

struct DeviceListEntry {
    std::string listPath; // the devices.conf it was listed from (absent for the embedded default)
    int line = 0;         // in that file; 0 for the embedded default device
    std::string source;   // the line as written, without surrounding blanks
    int nameOrdinal = 0;  // devices listed before this one under the same name
    DeviceConfig config;  // name, firmware, HDMI code, identification
    std::vector<PropertyFault> propertyFaults;
    std::vector<InterfaceFault> interfaceFaults;
};

struct DeviceListProblem {
    int line = 0; // 0: the file as a whole
    std::string message;
};

struct DeviceList {
    std::vector<DeviceListEntry> devices;
    std::vector<DeviceListProblem> problems;
};

// A device list is a few lines; anything larger is refused unread.
constexpr size_t kMaxDeviceListBytes = size_t(1) << 20;

// The file the device list is read from; empty when there is no host root (HostRootPath).
std::string DeviceListPath();

// Reads a device list's text; malformed lines become problems and are left out.
DeviceList ParseDeviceList(std::string_view text);

// The devices attached now: devices.conf, or the embedded default when it does not exist. Each
// problem is written to stderr once per process ("devices.conf:LINE: MESSAGE").
DeviceList LoadDeviceList();

// The problems the latest LoadDeviceList found, for tools that show them.
std::vector<DeviceListProblem> DeviceListProblems();

// Numbers the devices that share a name, so that each keeps a state of its own.
void NumberSameNames(DeviceList& list);

// The device filter for an attached device: one object per device for as long as the device stays
// plugged in, whose model is the device's shared state with the entry's faults. One reference is
// handed out; kDeviceNotConnected for an unplugged device.
HRESULT BindDeviceFilter(const DeviceListEntry& device, IBaseFilter** ppFilter);

} // namespace host
