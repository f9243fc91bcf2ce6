// Where this build keeps a plug-in module, so that a tool's "register it first" hint names a
// path the user can paste as it is.
#pragma once

#include <string>

namespace tool_common {

// The module `fileName` in the lib folder beside the running tool's bin folder, as an absolute
// path when it is there; otherwise "build/<preset>/lib/" followed by the name.
std::string BuiltModulePath(const std::string& fileName);

} // namespace tool_common
