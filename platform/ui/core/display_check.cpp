// Whether Qt can open a display, asked before Qt is: Qt ends the process when it cannot.
#include "host/ui_core.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace host::ui {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Connects to the X server as Qt's xcb platform would, through the same client library.
std::string XServerProblem(const std::string& display) {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return "the X client library (libxcb.so.1) is missing";
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    std::string problem;
    if (!connect || !hasError || !disconnect) {
        problem = "the X client library (libxcb.so.1) is unusable";
    } else {
        void* connection = connect(display.c_str(), nullptr);
        if (!connection || hasError(connection))
            problem = "cannot connect to the X server DISPLAY=" + display;
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    return problem;
}

std::string WaylandProblem(const std::string& name) {
    std::string path = name;
    if (path.empty() || path[0] != '/') {
        std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty()) return "WAYLAND_DISPLAY=" + name + " needs XDG_RUNTIME_DIR, which is not set";
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return "the Wayland socket name is too long: " + path;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "cannot make a socket: " + std::string(std::strerror(errno));
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected ? "" : "cannot connect to the Wayland display " + path;
}

} // namespace

std::string DisplayProblem() {
    std::string platform = Env("QT_QPA_PLATFORM");
    platform = platform.substr(0, platform.find(':'));
    if (!platform.empty() && platform != "xcb" && platform.rfind("wayland", 0) != 0)
        return {}; // offscreen, minimal, vnc, ...: Qt needs no display server for these
    const std::string x = Env("DISPLAY"), wayland = Env("WAYLAND_DISPLAY");
    if (platform.rfind("wayland", 0) == 0) return WaylandProblem(wayland.empty() ? "wayland-0" : wayland);
    if (!x.empty()) return XServerProblem(x);
    if (platform.empty() && !wayland.empty()) return WaylandProblem(wayland);
    return "neither DISPLAY nor WAYLAND_DISPLAY is set";
}

} // namespace host::ui
