#include "output_paths.h"

#include <sys/stat.h>

#include <filesystem>

namespace demux_tool {
namespace {

namespace fs = std::filesystem;

struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool characterDevice = false;
    std::string name; // for a file not made yet: the name it will be made under
};

// The file a path names, or the name it will have once made: a dangling link is followed to
// where it points, since that is where the output would go.
Identity IdentityOf(const std::string& path) {
    Identity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.characterDevice = S_ISCHR(st.st_mode);
        return id;
    }
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) p = path;
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    fs::path canonical = fs::weakly_canonical(p, ec);
    id.name = (ec ? p.lexically_normal() : canonical).string();
    return id;
}

bool Same(const Identity& a, const Identity& b) {
    if (a.exists != b.exists) return false;
    if (a.exists) return a.device == b.device && a.inode == b.inode;
    return a.name == b.name;
}

} // namespace

std::string FindOutputClash(const std::string& input, const std::vector<NamedOutput>& outputs) {
    const Identity in = IdentityOf(input);
    std::vector<Identity> seen;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const NamedOutput& out = outputs[i];
        Identity id = IdentityOf(out.path);
        if (in.exists && Same(id, in))
            return out.option + " " + out.path + " is the input file; it would be overwritten";
        if (!id.characterDevice) {
            for (size_t j = 0; j < i; ++j) {
                if (Same(id, seen[j]))
                    return out.option + " " + out.path + " is the same file as " + outputs[j].option + " " +
                           outputs[j].path + "; give each output a file of its own";
            }
        }
        seen.push_back(std::move(id));
    }
    return {};
}

} // namespace demux_tool
