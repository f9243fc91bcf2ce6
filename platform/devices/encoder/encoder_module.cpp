#include "platform/devices/encoder/encoder_module.h"

#include <dlfcn.h>

#include <mutex>

namespace host::encoder {
namespace {

std::string LoaderMessage() {
    const char* text = ::dlerror();
    return text ? text : "no reason given";
}

} // namespace

unsigned EncoderCodecVersion() {
    return YRA_ENCODER_CODEC_VERSION;
}

std::string HostLibraryFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<const void*>(&HostLibraryFolder), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

Result<const EncoderModuleApi*> LoadEncoderModule(const std::string& path) {
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return Status::Fail(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
                            "cannot load the loop encoder " + path + ": " + LoaderMessage());
    ::dlerror();
    auto entry = reinterpret_cast<EncoderModuleEntry>(::dlsym(handle, kEncoderModuleEntry));
    if (!entry) {
        const std::string reason = LoaderMessage();
        ::dlclose(handle);
        return Status::Fail(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND),
                            "the loop encoder " + path + " lacks " + kEncoderModuleEntry + ": " + reason);
    }
    const EncoderModuleApi* api = entry(kEncoderModuleAbi);
    if (!api || api->abi != kEncoderModuleAbi || !api->encodeLoop) {
        ::dlclose(handle);
        return Status::Fail(HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT),
                            "the loop encoder " + path + " was built for another host library");
    }
    if (api->codecVersion != EncoderCodecVersion()) {
        ::dlclose(handle);
        return Status::Fail(HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT),
                            "the loop encoder " + path + " was built against another codec version");
    }
    return api; // kept loaded for the process: loops it made run its code when released
}

Result<const EncoderModuleApi*> EncoderModule() {
    static std::mutex mutex;
    static const EncoderModuleApi* loaded = nullptr;
    std::lock_guard lock(mutex);
    if (loaded) return loaded;
    const std::string folder = HostLibraryFolder();
    if (folder.empty())
        return Status::Fail(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
                            std::string("cannot load the loop encoder ") + kEncoderModuleFile +
                                ": the host library's own folder is unknown");
    Result<const EncoderModuleApi*> module = LoadEncoderModule(folder + "/" + kEncoderModuleFile);
    if (module.ok()) loaded = module.value();
    return module;
}

Result<std::shared_ptr<const EncodedLoop>> EncodeLoopInModule(const EncoderSettings& settings,
                                                              const std::atomic<bool>& cancel) {
    Result<const EncoderModuleApi*> module = EncoderModule();
    if (!module.ok()) return module.status();
    return module.value()->encodeLoop(settings, cancel);
}

} // namespace host::encoder
