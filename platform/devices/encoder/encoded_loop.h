// A loop as the encoder leaves it: the multiplexed bytes, and a map of every transport packet
// saying what a repetition must rewrite in it. Immutable once built; devices share it.
#pragma once

#include "platform/devices/encoder/encoder_settings.h"
#include "platform/devices/encoder/loop_plan.h"

#include <cstdint>
#include <vector>

namespace host::encoder {

enum class LoopStream : uint8_t { Other, Video, Audio };

struct LoopPacket {
    uint16_t pid = 0;
    LoopStream stream = LoopStream::Other;
    int32_t frame = -1; // the loop frame of its stream whose PES this packet carries
    // Byte offsets within the packet of the fields to rewrite; 0 when the packet has none.
    uint8_t ptsOffset = 0;
    uint8_t dtsOffset = 0;
    uint8_t pcrOffset = 0;
};

// The packets sent for one video frame: its PES, and the audio and tables muxed after it (the
// first chunk also holds what comes before the first picture).
struct LoopChunk {
    uint32_t firstPacket = 0;
    uint32_t packetCount = 0;
};

struct EncodedLoop {
    EncodedLoop(const EncoderSettings& s, const LoopPlan& p) : settings(s), plan(p) {}

    EncoderSettings settings;
    LoopPlan plan;
    std::vector<uint8_t> bytes;       // whole transport packets
    std::vector<LoopPacket> packets;  // one per transport packet in `bytes`
    std::vector<LoopChunk> chunks;    // one per video frame of the loop
    double encodeSeconds = 0.0;       // how long encoding took
};

} // namespace host::encoder
