#include "built_module.h"

#include <filesystem>
#include <system_error>

namespace tool_common {

std::string BuiltModulePath(const std::string& fileName) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path module = exe.parent_path().parent_path() / "lib" / fileName;
        if (std::filesystem::is_regular_file(module, ec)) return module.string();
    }
    return "build/<preset>/lib/" + fileName;
}

} // namespace tool_common
