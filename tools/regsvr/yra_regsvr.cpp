// yra-regsvr: registers plug-in modules on this host by calling their DllRegisterServer (or
// DllUnregisterServer with -u), which write the modules' classes into the registry; with
// --version it shows the modules' version records instead.
#include "host/module_loader.h"
#include "host/registry_store.h"
#include "host/result_names.h"
#include "host/utf.h"
#include "plat/com.h"
#include "plat/registry.h"
#include "plat/resource.h"
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
    "       yra-regsvr --version MODULE...\n"
    "\n"
    "Registers plug-in modules with this host: opens each MODULE and calls its\n"
    "DllRegisterServer, which files the module's classes in the registry so that\n"
    "programs can create them by class id.\n"
    "\n"
    "  -u         unregister instead (calls DllUnregisterServer)\n"
    "  -s         silent: print nothing, report through the exit status only\n"
    "  --version  show each module's version (numbers and text) without registering\n"
    "  --help     show this text\n"
    "\n"
    "Modules are handled in order; the first failure stops the run with exit status 1.\n"
    "The registry lives in $YRA_HOST_ROOT/registry (default ~/.local/share/yra-host).\n";

struct Options {
    bool unregister = false;
    bool version = false;
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
        } else if (arg == "--version") {
            options->version = true;
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

std::string Numbers(const WORD parts[4]) {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

// Prints the version record the module registered when it was loaded: the numbers, then every
// entry of its string table.
bool ShowVersion(const std::string& module, void* handle) {
    Dl_info info{};
    void* entry = ::dlsym(handle, "DllGetClassObject");
    const VERSIONINFORES* version = nullptr;
    if (entry && ::dladdr(entry, &info)) version = YraFindVersionInfo(static_cast<HINSTANCE>(info.dli_fbase));
    if (!version) {
        std::fprintf(stderr, "yra-regsvr: %s has no version record\n", module.c_str());
        return false;
    }
    std::printf("%s: file version %s, product version %s\n", module.c_str(),
                Numbers(version->fileVersion).c_str(), Numbers(version->productVersion).c_str());
    for (int i = 0; i < version->stringCount; ++i) {
        const VERSIONSTRINGRES& s = version->strings[i];
        std::printf("  %s: %s\n", host::Utf8FromWide(s.key ? s.key : u"").c_str(),
                    host::Utf8FromWide(s.value ? s.value : u"").c_str());
    }
    return true;
}

bool Process(const std::string& module, const Options& options) {
    const char* entry = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    void* handle = ::dlopen(ModulePath(module).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        if (!options.silent) std::fprintf(stderr, "yra-regsvr: cannot open %s: %s\n", module.c_str(), why ? why : "");
        return false;
    }
    if (options.version) {
        bool shown = ShowVersion(module, handle);
        CoFreeUnusedLibraries();
        ::dlclose(handle);
        return shown;
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
