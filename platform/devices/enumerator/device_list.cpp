// The attached devices: devices.conf under the host root, or the embedded default device.
#include "host/device_list.h"

#include "host/file_io.h"
#include "host/host_root.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// The file's bytes. Otherwise nullopt, with *missing when there is no such file, or with the
// reason in *problem. Only a regular file of at most kMaxDeviceListBytes is read; it is opened
// without blocking, so a FIFO in its place is refused rather than waited on.
std::optional<std::string> ReadWholeFile(const std::string& path, bool* missing, std::string* problem) {
    *missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *missing = errno == ENOENT;
        *problem = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    std::string text;
    const char* failure = nullptr;
    if (::fstat(fd, &st) != 0) {
        failure = "cannot be examined: ";
    } else if (!S_ISREG(st.st_mode)) {
        *problem = std::string("is ") + FileKindName(st.st_mode) + ", not a device list; move it aside";
    } else {
        // Refused unread when fstat already tells; read, when it grew since.
        bool tooLarge = static_cast<size_t>(st.st_size) > kMaxDeviceListBytes;
        if (!tooLarge && !ReadAtMost(fd, kMaxDeviceListBytes, &text, &tooLarge))
            failure = "cannot be read: ";
        else if (tooLarge)
            *problem =
                "is larger than a device list may be (" + std::to_string(kMaxDeviceListBytes >> 10) + " KiB)";
    }
    if (failure) *problem = failure + std::string(std::strerror(errno));
    ::close(fd);
    if (!problem->empty()) return std::nullopt;
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
    const std::string root = HostRootPath();
    return root.empty() ? root : root + "/devices.conf";
}

DeviceList LoadDeviceList() {
    const std::string path = DeviceListPath();
    DeviceList list;
    bool missing = false;
    std::string problem;
    if (path.empty()) {
        list.problems.push_back({0, "no device list: " + HostRootProblem()});
        Report("devices.conf", list.problems);
        return list;
    }
    if (std::optional<std::string> text = ReadWholeFile(path, &missing, &problem)) {
        list = ParseDeviceList(*text);
    } else if (missing) {
        list = DefaultDeviceList();
    } else {
        list.problems.push_back({0, problem});
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
