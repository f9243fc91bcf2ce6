// The ADTS frame header as both the parser and the audio delivery read it.
#pragma once

#include "plat/media.h"

// A header without CRC; also the shortest frame there can be.
constexpr DWORD ADTS_HEADER_SIZE = 7;

// The 13-bit frame length in header bytes 3 to 5, which counts the header.
inline DWORD AdtsFrameLength(const BYTE* pb) {
    return (static_cast<DWORD>(pb[3] & 3) << 11) | (static_cast<DWORD>(pb[4]) << 3) | (pb[5] >> 5);
}
