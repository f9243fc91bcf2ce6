// Reading and rewriting the fields of MPEG-2 transport packets that change when a loop repeats:
// continuity counters, PCRs and PES time stamps. The callers know the offsets are inside the
// packet; these helpers only do the bit layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host::encoder {

inline constexpr size_t kTsPacketSize = 188;
inline constexpr uint8_t kTsSyncByte = 0x47;
inline constexpr uint16_t kVideoPid = 0x44;
inline constexpr uint16_t kAudioPid = 0x45;
inline constexpr int64_t kTimestampWrap = int64_t{1} << 33; // PTS, DTS and PCR base are 33 bits

inline uint16_t TsPid(const uint8_t* packet) { return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]); }
inline bool TsPayloadUnitStart(const uint8_t* packet) { return (packet[1] & 0x40) != 0; }
inline bool TsHasAdaptationField(const uint8_t* packet) { return (packet[3] & 0x20) != 0; }
inline bool TsHasPayload(const uint8_t* packet) { return (packet[3] & 0x10) != 0; }
inline void TsSetContinuityCounter(uint8_t* packet, uint8_t counter) {
    packet[3] = static_cast<uint8_t>((packet[3] & 0xF0) | (counter & 0x0F));
}

// Offset of the payload, or 0 when the adaptation field claims more than the packet holds.
inline size_t TsPayloadOffset(const uint8_t* packet) {
    if (!TsHasAdaptationField(packet)) return 4;
    const size_t offset = 5 + size_t{packet[4]};
    return offset <= kTsPacketSize ? offset : 0;
}

// Offset of the six PCR bytes, or 0 when the packet carries none.
inline size_t TsPcrOffset(const uint8_t* packet) {
    if (!TsHasAdaptationField(packet) || packet[4] < 7 || (packet[5] & 0x10) == 0) return 0;
    return 6;
}

// The 33-bit base of a PCR (its 9-bit extension stays as it is).
inline int64_t ReadPcrBase(const uint8_t* pcr) {
    return (int64_t{pcr[0]} << 25) | (int64_t{pcr[1]} << 17) | (int64_t{pcr[2]} << 9) | (int64_t{pcr[3]} << 1) |
           (pcr[4] >> 7);
}
inline void WritePcrBase(uint8_t* pcr, int64_t base) {
    pcr[0] = static_cast<uint8_t>(base >> 25);
    pcr[1] = static_cast<uint8_t>(base >> 17);
    pcr[2] = static_cast<uint8_t>(base >> 9);
    pcr[3] = static_cast<uint8_t>(base >> 1);
    pcr[4] = static_cast<uint8_t>(((base & 1) << 7) | (pcr[4] & 0x7F));
}

// A PES PTS or DTS field: five bytes, a 4-bit prefix, 33 bits of time and three marker bits.
inline int64_t ReadPesTimestamp(const uint8_t* field) {
    return (int64_t{(field[0] >> 1) & 0x07} << 30) | (int64_t{field[1]} << 22) | (int64_t{field[2] >> 1} << 15) |
           (int64_t{field[3]} << 7) | (field[4] >> 1);
}
inline void WritePesTimestamp(uint8_t* field, int64_t time) {
    field[0] = static_cast<uint8_t>((field[0] & 0xF0) | ((time >> 29) & 0x0E) | 1);
    field[1] = static_cast<uint8_t>(time >> 22);
    field[2] = static_cast<uint8_t>(((time >> 14) & 0xFE) | 1);
    field[3] = static_cast<uint8_t>(time >> 7);
    field[4] = static_cast<uint8_t>(((time << 1) & 0xFE) | 1);
}

inline int64_t WrapTimestamp(int64_t time) { return ((time % kTimestampWrap) + kTimestampWrap) % kTimestampWrap; }

} // namespace host::encoder
