// Listed devices over their shared state: where it lives, attaching to it, and the cable.
#include "host/device_presence.h"

#include "host/file_io.h"
#include "host/host_root.h"
#include "host/utf.h"
#include "platform/devices/model/device_store.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace host {
namespace {

// A name longer than this is cut and told apart by its hash, to stay within a file name.
constexpr size_t kLongestId = 120;

// What makes a device the same device: its line as written.
uint64_t ConfigHash(const DeviceListEntry& device) {
    return Fnv1a(device.source) | 1; // never 0, which a local device uses
}

std::string StateId(const DeviceListEntry& device) {
    const std::string name = Utf8FromWide(device.config.name);
    std::string id;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_') {
            id += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            id += escaped;
        }
    }
    if (id.size() > kLongestId) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "-%016llx", static_cast<unsigned long long>(Fnv1a(name)));
        id = id.substr(0, kLongestId - 17) + hash;
    }
    if (id.empty()) id = "%";
    if (device.nameOrdinal > 0) id += "~" + std::to_string(device.nameOrdinal + 1);
    return id;
}

// Whether someone holds the lock on the claim file, read from the system's table of locks: trying
// the lock ourselves could make a client that starts streaming at that moment fail as busy.
bool ClaimFileLocked(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks) return false;
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    bool locked = false;
    char line[256];
    for (int n = 0; n < 100000 && !locked && std::fgets(line, sizeof line, locks); ++n)
        locked = std::strstr(line, " FLOCK ") && std::strstr(line, wanted);
    std::fclose(locks);
    return locked;
}

HRESULT OpenStore(const DeviceListEntry& device, std::shared_ptr<DeviceStore>* store) {
    const std::string folder = DeviceStateFolder(device);
    if (folder.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return OpenSharedDeviceStore(folder, device.config, ConfigHash(device), store);
}

// Runs `change` on the device's state under its lock; its result, or why the state cannot be had.
template <class Change> HRESULT WithImage(const DeviceListEntry& device, Change change) {
    std::shared_ptr<DeviceStore> store;
    if (HRESULT hr = OpenStore(device, &store); FAILED(hr)) return hr;
    std::lock_guard<DeviceStore> hold(*store);
    return change(store->Image());
}

} // namespace

void NumberSameNames(DeviceList& list) {
    std::map<std::u16string, int> seen;
    for (DeviceListEntry& device : list.devices)
        device.nameOrdinal = seen[device.config.name]++;
}

// None without a host root, so that nothing is ever made under "/".
std::string DeviceStateFolder(const DeviceListEntry& device) {
    const std::string root = HostRootPath();
    return root.empty() ? std::string() : root + "/devices/" + StateId(device);
}

HRESULT AttachDeviceModel(const DeviceListEntry& device, std::shared_ptr<DeviceModel>* model) {
    if (!model) return E_POINTER;
    model->reset();
    std::shared_ptr<DeviceStore> store;
    if (HRESULT hr = OpenStore(device, &store); FAILED(hr)) return hr;
    auto attached = std::make_shared<DeviceModel>(device.config, store);
    if (attached->IsLost()) return kDeviceNotConnected;
    for (const PropertyFault& f : device.propertyFaults)
        attached->Refuse(f.set, f.id, f.access, f.result);
    for (const InterfaceFault& f : device.interfaceFaults)
        attached->FailQueryInterface(f.iid, f.result);
    *model = std::move(attached);
    return S_OK;
}

HRESULT QueryDevicePlugged(const DeviceListEntry& device, bool* plugged) {
    if (!plugged) return E_POINTER;
    std::shared_ptr<DeviceStore> store;
    if (HRESULT hr = OpenStore(device, &store); FAILED(hr)) return hr;
    *plugged = store->Image().plugged.load() != 0;
    return S_OK;
}

HRESULT QueryDevicePresence(const DeviceListEntry& device, DevicePresence* presence) {
    if (!presence) return E_POINTER;
    if (HRESULT hr = QueryDevicePlugged(device, &presence->plugged); FAILED(hr)) return hr;
    presence->streaming = ClaimFileLocked(DeviceStateFolder(device) + "/claim");
    return S_OK;
}

HRESULT UnplugDevice(const DeviceListEntry& device) {
    return WithImage(device, [](DeviceImage& image) -> HRESULT {
        if (image.plugged.load() == 0) return S_FALSE;
        image.plugged = 0;
        return S_OK;
    });
}

HRESULT PlugDevice(const DeviceListEntry& device) {
    return WithImage(device, [&device](DeviceImage& image) -> HRESULT {
        if (image.plugged.load() != 0) return S_FALSE;
        PlugIn(image, device.config, ConfigHash(device));
        return S_OK;
    });
}

HRESULT ResetDevice(const DeviceListEntry& device) {
    return WithImage(device, [&device](DeviceImage& image) -> HRESULT {
        if (image.plugged.load() == 0) return kDeviceNotConnected;
        PowerOn(image, device.config, ConfigHash(device));
        return S_OK;
    });
}

} // namespace host
