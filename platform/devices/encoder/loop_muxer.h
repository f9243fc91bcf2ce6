// Multiplexes the loop's encoded frames into transport packets in memory with libavformat:
// video on PID 0x44, audio on PID 0x45, one PES packet per frame, PAT and PMT.
#pragma once

#include "platform/devices/encoder/ffmpeg_handles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host::encoder {

// Packets carry 90 kHz times. `audio` is null, and `audioPackets` empty, without audio.
Result<std::vector<uint8_t>> MuxLoop(const std::string& serviceName, const AVCodecContext* video,
                                     const std::vector<PacketPtr>& videoPackets, const AVCodecContext* audio,
                                     const std::vector<PacketPtr>& audioPackets);

} // namespace host::encoder
