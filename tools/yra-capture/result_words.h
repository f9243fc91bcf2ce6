// The program's failures name a result code only; the tool adds its name and, for the results a
// recording meets, what they mean.
#pragma once

#include "plat/types.h"

#include <string>

namespace capture_tool {

// "0x80070020 HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION): the file is in use by another
// recording", or the code and its name alone.
std::string ExplainResult(HRESULT hr);
// For a message holding "HRESULT = 0x...": the explanation in parentheses; otherwise empty.
std::string ExplainResultIn(const std::string& text);

} // namespace capture_tool
