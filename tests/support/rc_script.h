// Reads a resource script as the platform's resource compiler does (the cross toolchain's
// windres normalises it), and compares it with the resource table that a module registers with
// the host, so that the two counterparts of a module's resources cannot drift apart.
#pragma once

#include "plat/resource.h"

#include <string>
#include <vector>

namespace testing_support {

// The resource compiler of the cross toolchain, or empty when it is not installed.
std::string ResourceCompiler();

// Every difference between the script (preprocessed with the include directories) and the
// table, one line each; a script that cannot be read is one difference.
std::vector<std::string> CompareResourceScript(const std::string& script,
                                               const std::vector<std::string>& includeDirs,
                                               const RESOURCETABLE& table);

} // namespace testing_support
