#include "standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tool_common {

int FinishStandardOutput(const char* tool, int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout)) return status;
    // An earlier failed write leaves only the stream's error flag behind, not its reason.
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", tool,
                 !flushed && error ? std::strerror(error) : "a write failed");
    return status ? status : 1;
}

} // namespace tool_common
