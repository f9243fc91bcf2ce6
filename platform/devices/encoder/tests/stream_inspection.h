// Independent readers for the tests: libavformat's view of a stream, and a plain walk over its
// transport packets and PES packets that trusts nothing of the code under test.
#pragma once

#include "platform/devices/encoder/transport_streamer.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace encoder_test {

// The stream as the device would deliver it, from its start up to video frame `frames`.
std::vector<uint8_t> Collect(host::encoder::TransportStreamer& streamer, int64_t frames);

struct ProbedStream {
    std::string codec;  // libavcodec's name: "h264", "aac"
    int pid = 0;
    int width = 0;
    int height = 0;
    int frameRateNum = 0;
    int frameRateDen = 0;
    int sampleRate = 0;
    std::string profile;
    std::vector<int64_t> pts; // 90 kHz, in stream order
};

struct Probe {
    std::string error; // empty when the stream opened
    std::vector<ProbedStream> streams;
    const ProbedStream* Find(const std::string& codec) const;
};
Probe ProbeWithLibav(const std::vector<uint8_t>& bytes);

struct PesPacket {
    uint16_t pid = 0;
    std::optional<int64_t> pts;
    std::vector<uint8_t> payload;
};

struct TransportWalk {
    std::string error;                // the first structural problem, if any
    std::map<uint16_t, int> packets;  // per PID
    int continuityErrors = 0;
    bool interleavedPes = false;      // a PES continued after the other stream's PES began
    std::vector<PesPacket> pes;       // of PIDs 0x44 and 0x45
};
TransportWalk WalkTransportStream(const std::vector<uint8_t>& bytes);

// NAL unit types of an H.264 Annex B payload, in order.
std::vector<int> NalUnitTypes(const std::vector<uint8_t>& payload);

// What `ffmpeg -v warning` says while decoding the stream completely; nullopt when the ffmpeg
// program is not installed.
std::optional<std::string> DecodeWarnings(const std::vector<uint8_t>& bytes, const std::string& name);

} // namespace encoder_test
