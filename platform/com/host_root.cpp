#include "host/host_root.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace host {

std::string HostRootPath() {
    if (const char* root = std::getenv("YRA_HOST_ROOT"); root && *root) return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/yra-host";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/yra-host";
    return {};
}

std::string HostRootProblem() {
    return HostRootPath().empty() ? "none of YRA_HOST_ROOT, XDG_DATA_HOME and HOME is set" : std::string();
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return true;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

} // namespace host
