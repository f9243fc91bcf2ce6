// yra-regsvr: registers plug-in modules on this host by calling their DllRegisterServer (or
// DllUnregisterServer with -u), which write the modules' classes into the registry.
#include "host/module_loader.h"
#include "host/registry_store.h"
#include "host/result_names.h"
#include "plat/com.h"
#include "plat/registry.h"
#include "standard_output.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: yra-regsvr [-u] [-s] MODULE...\n"
    "\n"
    "Registers plug-in modules with this host: opens each MODULE and calls its\n"
    "DllRegisterServer, which files the module's classes in the registry so that\n"
    "programs can create them by class id.\n"
    "\n"
    "  -u      unregister instead (calls DllUnregisterServer)\n"
    "  -s      silent: print nothing, report through the exit status only\n"
    "  --help  show this text\n"
    "\n"
    "Modules are handled in order; the first failure stops the run with exit status 1.\n"
    "The registry lives in $YRA_HOST_ROOT/registry (default ~/.local/share/yra-host).\n";

struct Options {
    bool unregister = false;
    bool silent = false;
    std::vector<std::string> modules;
};

// 0: go on; otherwise the exit status.
int ParseArguments(int argc, char** argv, Options* options) {
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsDone || arg.empty() || arg[0] != '-') {
            options->modules.push_back(arg);
        } else if (arg == "--") {
            optionsDone = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "-u") {
            options->unregister = true;
        } else if (arg == "-s") {
            options->silent = true;
        } else {
            std::fprintf(stderr, "yra-regsvr: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (options->modules.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return 0;
}

// A name without a slash means the file here, not a search of the library path.
std::string ModulePath(const std::string& arg) {
    struct stat st {};
    if (arg.find('/') == std::string::npos && ::stat(arg.c_str(), &st) == 0) return "./" + arg;
    return arg;
}

bool Process(const std::string& module, const Options& options) {
    const char* entry = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    void* handle = ::dlopen(ModulePath(module).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        if (!options.silent) std::fprintf(stderr, "yra-regsvr: cannot open %s: %s\n", module.c_str(), why ? why : "");
        return false;
    }
    auto fn = reinterpret_cast<HRESULT (*)()>(::dlsym(handle, entry));
    if (!fn) {
        if (!options.silent) std::fprintf(stderr, "yra-regsvr: %s does not export %s\n", module.c_str(), entry);
        ::dlclose(handle);
        return false;
    }
    HRESULT hr = fn();
    if (!options.silent) {
        std::string result = host::FormatResult(hr);
        if (SUCCEEDED(hr)) {
            std::printf("%s: %s succeeded (%s)\n", module.c_str(), entry, result.c_str());
        } else {
            std::fprintf(stderr, "%s: %s failed: %s\n", module.c_str(), entry, result.c_str());
            std::string detail = host::RegistryLastError();
            if (!detail.empty()) std::fprintf(stderr, "  registry: %s\n", detail.c_str());
        }
    }
    // Objects the runtime cached for this module are released before the module goes.
    CoFreeUnusedLibraries();
    ::dlclose(handle);
    return SUCCEEDED(hr);
}

} // namespace

static int Main(int argc, char** argv) {
    Options options;
    if (int status = ParseArguments(argc, argv, &options)) return status < 0 ? 0 : status;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        if (!options.silent) std::fprintf(stderr, "yra-regsvr: CoInitialize failed: %s\n", host::FormatResult(hr).c_str());
        return 1;
    }
    int status = 0;
    for (const std::string& module : options.modules) {
        if (!Process(module, options)) {
            status = 1;
            break;
        }
    }
    CoUninitialize();
    return status;
}

int main(int argc, char** argv) {
    return tool_common::FinishStandardOutput("yra-regsvr", Main(argc, argv));
}
