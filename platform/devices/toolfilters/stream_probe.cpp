#include "stream_probe.h"

#include "plat/media.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace host {
namespace {

constexpr size_t kPacket = 188;
constexpr size_t kTimecodedPacket = 192; // a 4-byte time code, then a transport packet
constexpr size_t kTimecodeBytes = kTimecodedPacket - kPacket;
// Sync bytes in a row that make a transport stream (fewer when the head holds fewer packets).
constexpr size_t kSyncsToRecognise = 5;
constexpr uint8_t kAudioPid = 0x45;
constexpr uint8_t kAudioStreamId = 0xC0;

bool IsTransportAt(const uint8_t* p, size_t size, size_t at) {
    // Three sync bytes a packet apart, or as many as the file holds.
    for (size_t k = 0; k < 3; ++k) {
        size_t i = at + k * kPacket;
        if (i >= size) return true;
        if (p[i] != 0x47) return false;
    }
    return true;
}

// True when `at` starts packets `stride` apart with a sync byte each, as many in a row as a
// stream of the head's size shows (up to kSyncsToRecognise, at least `minSyncs`), the first one
// whole. Counting from the head's size, not from `at`, keeps a lone 0x47 near the end from
// passing as a short stream.
bool InSyncAt(const uint8_t* p, size_t size, size_t at, size_t stride, size_t minSyncs) {
    const size_t needed = std::max(minSyncs, std::min(kSyncsToRecognise, size / stride));
    if (at + stride > size || at + (needed - 1) * stride >= size) return false;
    for (size_t k = 0; k < needed; ++k)
        if (p[at + k * stride] != 0x47) return false;
    return true;
}

bool IsPackAt(const uint8_t* p, size_t size, size_t at) {
    return at + 4 <= size && p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1 && p[at + 3] == 0xBA;
}

uint32_t AdtsRate(const uint8_t* p, size_t size) {
    static const uint32_t kRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                        16000, 12000, 11025, 8000,  7350,  0,     0,     0};
    if (size < 7 || p[0] != 0xFF || (p[1] & 0xF0) != 0xF0) return 0;
    return kRates[(p[2] >> 2) & 0x0F];
}

// The payload of a PES packet whose header is held whole, or null.
const uint8_t* PesPayload(const uint8_t* pes, size_t size, size_t* payloadSize) {
    if (size < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1) return nullptr;
    size_t header = 9 + pes[8];
    if (header > size) return nullptr;
    *payloadSize = size - header;
    return pes + header;
}

uint32_t TransportAudioRate(const uint8_t* p, size_t size, size_t at) {
    for (; at + kPacket <= size; at += kPacket) {
        const uint8_t* packet = p + at;
        if (packet[0] != 0x47) return 0;
        if (packet[2] != kAudioPid || !(packet[1] & 0x40)) continue;
        size_t header = (packet[3] & 0x20) ? 5 + packet[4] : 4;
        if (header >= kPacket) continue;
        size_t payloadSize = 0;
        const uint8_t* payload = PesPayload(packet + header, kPacket - header, &payloadSize);
        if (payload) return AdtsRate(payload, payloadSize);
    }
    return 0;
}

uint32_t ProgramAudioRate(const uint8_t* p, size_t size, size_t at) {
    for (; at + 4 <= size; ++at) {
        if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1 || p[at + 3] != kAudioStreamId) continue;
        size_t payloadSize = 0;
        const uint8_t* payload = PesPayload(p + at, size - at, &payloadSize);
        if (payload) return AdtsRate(payload, payloadSize);
    }
    return 0;
}

// A transport stream whose first packet starts at `at`; `recognised` as the caller found it.
StreamProbe TransportAt(const uint8_t* p, size_t size, size_t at, bool recognised) {
    StreamProbe probe;
    probe.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    probe.offset = at;
    probe.audioRate = TransportAudioRate(p, size, at);
    probe.recognised = recognised;
    return probe;
}

} // namespace

StreamProbe ProbeStream(const uint8_t* p, size_t size) {
    StreamProbe probe;
    constexpr size_t kNone = SIZE_MAX;
    size_t firstLoose = kNone, firstTimecoded = kNone;
    for (size_t at = 0; at < size; ++at) {
        if (p[at] == 0x47) {
            if (InSyncAt(p, size, at, kPacket, 1)) return TransportAt(p, size, at, true);
            if (firstLoose == kNone && IsTransportAt(p, size, at)) firstLoose = at;
            if (firstTimecoded == kNone && InSyncAt(p, size, at, kTimecodedPacket, 2)) firstTimecoded = at;
        }
        if (IsPackAt(p, size, at)) {
            probe.subtype = MEDIASUBTYPE_MPEG2_PROGRAM;
            probe.offset = at;
            probe.audioRate = ProgramAudioRate(p, size, at);
            probe.recognised = true;
            return probe;
        }
    }
    if (firstTimecoded != kNone) {
        probe.timecodedPackets = true;
        probe.offset = firstTimecoded >= kTimecodeBytes ? firstTimecoded - kTimecodeBytes : firstTimecoded;
        return probe;
    }
    // Something to try, though it may be chance: the caller decides what an empty result means.
    if (firstLoose != kNone) return TransportAt(p, size, firstLoose, false);
    return probe;
}

int DeviceRateCode(uint32_t rate) {
    switch (rate) {
    case 44100: return 0;
    case 48000: return 1;
    case 32000: return 2;
    case 22050: return 4;
    case 24000: return 5;
    case 16000: return 6;
    case 8000: return 8;
    case 88200: return 9;
    case 96000: return 10;
    case 64000: return 11;
    default: return -1;
    }
}

} // namespace host
