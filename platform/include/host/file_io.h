// Small file helpers shared by the host's readers and writers of its own files (hives, device
// list, device state, loops): every one of them may meet a FIFO, a device or a huge file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace host {

// What a file that is not a regular one is, for messages: "a folder", "a FIFO", ...
const char* FileKindName(mode_t mode);
// Reads to the end of fd, keeping at most `limit` bytes; *tooLarge when there is more (a file
// may grow after fstat). False, with errno set, when a read fails.
bool ReadAtMost(int fd, size_t limit, std::string* text, bool* tooLarge);
// Writes every byte, going on after interruptions. False, with errno set, when a write fails.
bool WriteAll(int fd, const void* data, size_t size);
// FNV-1a, 64 bits: a stable name for a text in file names (not for security).
uint64_t Fnv1a(std::string_view text);

} // namespace host
