// Little-endian 32-bit words at byte offsets of a property buffer.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace host {

static_assert(std::endian::native == std::endian::little, "property words are stored as the host holds them");

inline uint32_t ReadWord(const uint8_t* bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

inline void WriteWord(uint8_t* bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes + offset, &value, sizeof value);
}

// 0 past the end, so a reader never walks off a short buffer.
inline uint32_t ReadWord(const std::vector<uint8_t>& bytes, size_t offset) {
    return offset + 4 <= bytes.size() ? ReadWord(bytes.data(), offset) : 0;
}

} // namespace host
