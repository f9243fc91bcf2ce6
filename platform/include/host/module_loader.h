// What the component runtime's module loader tells tools and tests.
#pragma once

#include <string>

namespace host {

// Why the last module the runtime failed to use on this thread was refused: the loader's
// own message, or the missing entry point. Empty when nothing failed yet.
std::string LastModuleLoadError();

} // namespace host
