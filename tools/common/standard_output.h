// A tool's results on standard output are its product: a failed write there (a full disk, a
// closed terminal) must fail the run, not vanish in the stream's buffer.
#pragma once

namespace tool_common {

// Flushes standard output and returns the exit status: `status`, or 1 (with the reason on
// standard error, prefixed by `tool`) when anything written to standard output was lost.
int FinishStandardOutput(const char* tool, int status);

} // namespace tool_common
