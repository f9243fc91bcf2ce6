// What the device-list parser promises for any text, checked by the fuzz target and, over the
// committed corpus, by the tests: every line is a device, a problem or nothing, in order, and
// every report is safe to print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

// Empty when the promise holds, else what broke it.
std::string CheckDeviceListParse(const uint8_t* data, size_t size);

} // namespace host
