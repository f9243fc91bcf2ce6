// Choosing the display driver: headless, or Qt from its own module so that the core and its
// users never link Qt.
#include "state.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace host::ui {
namespace {

using CreateDriverFn = Driver* (*)();

std::unique_ptr<Driver> LoadQtDriver() {
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void*>(&LoadQtDriver), &self) || !self.dli_fname) return nullptr;
    std::string dir(self.dli_fname);
    auto slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    void* module = dlopen((dir + "/libyraui_qt.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) module = dlopen("libyraui_qt.so", RTLD_NOW | RTLD_LOCAL);
    if (!module) return nullptr;
    auto create = reinterpret_cast<CreateDriverFn>(dlsym(module, "YraUiCreateQtDriver"));
    Driver* driver = create ? create() : nullptr;
    return std::unique_ptr<Driver>(driver);
}

std::unique_ptr<Driver> ChooseDriver() {
    const char* choice = std::getenv("YRA_UI");
    std::string_view want = choice ? choice : "";
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    bool display = set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
    if (want == "qt" || (want.empty() && display)) {
        // A display named but not there would make Qt end the process.
        std::string problem = DisplayProblem();
        if (!problem.empty()) {
            if (want == "qt")
                std::fprintf(stderr, "yra-ui: no display (%s); running headless\n", problem.c_str());
            return MakeHeadlessDriver();
        }
        if (auto qt = LoadQtDriver()) return qt;
        if (want == "qt") std::fprintf(stderr, "yra-ui: the Qt driver is not available; running headless\n");
    }
    return MakeHeadlessDriver();
}

} // namespace

Driver& CurrentDriver() {
    auto lock = Locked();
    State& s = S();
    if (!s.driver) s.driver = ChooseDriver();
    return *s.driver;
}

void SetDriver(std::unique_ptr<Driver> driver) {
    auto lock = Locked();
    // The old driver is kept alive: a caller further up the stack may be inside it.
    static auto* retired = new std::vector<std::unique_ptr<Driver>>;
    if (S().driver) retired->push_back(std::move(S().driver));
    S().driver = std::move(driver);
}

bool SelectDriver(std::string_view name) {
    if (name == "headless") {
        SetDriver(MakeHeadlessDriver());
        return true;
    }
    if (name == "qt") {
        if (!DisplayProblem().empty()) return false;
        auto qt = LoadQtDriver();
        if (!qt) return false;
        SetDriver(std::move(qt));
        return true;
    }
    return false;
}

bool Screenshot(HWND window, const std::string& pngPath) {
    return CurrentDriver().Screenshot(window, pngPath);
}

} // namespace host::ui
