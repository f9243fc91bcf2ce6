// What the hive reader and writer promise for any input, checked by the fuzz target and, over
// the committed corpus, by the tests: a text that reads is written back as a text that reads
// to the same tree and is written the same again; one that does not read says where and why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host::reg {

struct Key;

// Empty when both trees hold the same keys and values in the same order, else what differs.
std::string HiveDifference(const Key& a, const Key& b);
// Empty when the promise holds, else what broke it.
std::string CheckHiveRoundTrip(const uint8_t* data, size_t size);

} // namespace host::reg
