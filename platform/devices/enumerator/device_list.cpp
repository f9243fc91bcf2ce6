// The attached devices: devices.conf under the host root, or the embedded default device.
#include "host/device_list.h"

#include "host/host_root.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

namespace host {
namespace {

struct ProblemLog {
    std::mutex lock;
    std::vector<DeviceListProblem> latest;
    std::set<std::tuple<std::string, int, std::string>> reported; // path, line, message
};

ProblemLog& Problems() {
    static ProblemLog log;
    return log;
}

// A list is read on every enumeration; saying the same thing again each time would only bury it.
void Report(const std::string& path, const std::vector<DeviceListProblem>& problems) {
    ProblemLog& log = Problems();
    std::lock_guard hold(log.lock);
    log.latest = problems;
    for (const DeviceListProblem& p : problems) {
        if (!log.reported.emplace(path, p.line, p.message).second) continue;
        if (p.line > 0)
            std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), p.line, p.message.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", path.c_str(), p.message.c_str());
    }
}

// The file's bytes; nullopt with errno set when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            errno = error;
            return std::nullopt;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

DeviceList DefaultDeviceList() {
    DeviceList list;
    DeviceListEntry device;
    device.source = "(embedded default)";
    list.devices.push_back(std::move(device));
    return list;
}

} // namespace

std::string DeviceListPath() {
    return HostRootPath() + "/devices.conf";
}

DeviceList LoadDeviceList() {
    const std::string path = DeviceListPath();
    DeviceList list;
    if (std::optional<std::string> text = ReadWholeFile(path)) {
        list = ParseDeviceList(*text);
    } else if (errno == ENOENT) {
        list = DefaultDeviceList();
    } else {
        list.problems.push_back({0, std::string("cannot be read: ") + std::strerror(errno)});
    }
    for (DeviceListEntry& device : list.devices)
        device.listPath = path;
    NumberSameNames(list);
    Report(path, list.problems);
    return list;
}

std::vector<DeviceListProblem> DeviceListProblems() {
    ProblemLog& log = Problems();
    std::lock_guard hold(log.lock);
    return log.latest;
}

} // namespace host
