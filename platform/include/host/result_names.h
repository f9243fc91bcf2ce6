// Names of result codes for tools' messages: "0x80070002 (ERROR_FILE_NOT_FOUND)".
#pragma once

#include "plat/types.h"

#include <string>

namespace host {

// The symbolic name of an HRESULT, or "" when the host does not know it. Results in the
// Win32 facility without a name of their own are named after the Win32 code, as
// "HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)".
std::string ResultName(HRESULT hr);
// The name of a Win32 error code (the registry's results), or "" when unknown.
const char* Win32ErrorName(LONG code);
// "0x%08X" followed by " NAME" when the name is known.
std::string FormatResult(HRESULT hr);

} // namespace host
