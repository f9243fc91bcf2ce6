#include "platform/devices/encoder/loop_index.h"

#include "platform/devices/encoder/ts_packet.h"

#include <string>

namespace host::encoder {
namespace {

Status Malformed(size_t packet, const std::string& what) {
    return Status::Fail(E_UNEXPECTED, "encoded loop, transport packet " + std::to_string(packet) + ": " + what);
}

// Locates the time stamps of the PES header that begins at `payload`.
Status IndexPesHeader(const uint8_t* packet, size_t payload, size_t index, LoopPacket& entry) {
    if (payload + 9 > kTsPacketSize || packet[payload] != 0 || packet[payload + 1] != 0 || packet[payload + 2] != 1)
        return Malformed(index, "no PES header at a payload unit start");
    const int flags = packet[payload + 7] >> 6;
    if ((flags & 2) == 0) return Malformed(index, "PES header without PTS");
    if (payload + 14 > kTsPacketSize) return Malformed(index, "PES header runs past the packet");
    entry.ptsOffset = static_cast<uint8_t>(payload + 9);
    if (flags == 3) {
        if (payload + 19 > kTsPacketSize) return Malformed(index, "PES header runs past the packet");
        entry.dtsOffset = static_cast<uint8_t>(payload + 14);
    }
    return Status::Ok();
}

} // namespace

Status IndexLoop(EncodedLoop& loop) {
    const size_t count = loop.bytes.size() / kTsPacketSize;
    if (count == 0 || loop.bytes.size() % kTsPacketSize != 0)
        return Status::Fail(E_UNEXPECTED, "encoded loop is not a whole number of transport packets");
    loop.packets.assign(count, {});
    loop.chunks.clear();

    int32_t videoFrames = 0, audioFrames = 0;
    int64_t timeBase = -1; // the muxer's offset of every time stamp
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* packet = loop.bytes.data() + i * kTsPacketSize;
        LoopPacket& entry = loop.packets[i];
        if (packet[0] != kTsSyncByte) return Malformed(i, "lost sync");
        entry.pid = TsPid(packet);
        entry.pcrOffset = static_cast<uint8_t>(TsPcrOffset(packet));
        if (entry.pid != kVideoPid && entry.pid != kAudioPid) continue;

        const bool video = entry.pid == kVideoPid;
        entry.stream = video ? LoopStream::Video : LoopStream::Audio;
        int32_t& frames = video ? videoFrames : audioFrames;
        if (!TsPayloadUnitStart(packet)) {
            if (frames == 0) return Malformed(i, "payload before the stream's first PES header");
            entry.frame = frames - 1;
            continue;
        }
        const size_t payload = TsPayloadOffset(packet);
        if (payload == 0) return Malformed(i, "adaptation field longer than the packet");
        if (Status s = IndexPesHeader(packet, payload, i, entry); !s.ok()) return s;

        entry.frame = frames++;
        const int64_t planned =
            video ? loop.plan.VideoFrameTime90k(entry.frame) : loop.plan.AudioFrameTime90k(entry.frame);
        const int64_t offset = ReadPesTimestamp(packet + entry.ptsOffset) - planned;
        if (timeBase < 0) timeBase = offset;
        if (offset != timeBase) return Malformed(i, "frame time does not follow the loop's plan");
        if (video) loop.chunks.push_back({static_cast<uint32_t>(loop.chunks.empty() ? 0 : i), 0});
    }

    if (videoFrames != loop.plan.VideoFrames())
        return Status::Fail(E_UNEXPECTED, "encoded loop holds " + std::to_string(videoFrames) + " pictures, not " +
                                              std::to_string(loop.plan.VideoFrames()));
    if (audioFrames != loop.plan.AudioFramesEncoded())
        return Status::Fail(E_UNEXPECTED, "encoded loop holds " + std::to_string(audioFrames) +
                                              " audio frames, not " + std::to_string(loop.plan.AudioFramesEncoded()));
    for (size_t c = 0; c < loop.chunks.size(); ++c) {
        const size_t end = c + 1 < loop.chunks.size() ? loop.chunks[c + 1].firstPacket : count;
        loop.chunks[c].packetCount = static_cast<uint32_t>(end - loop.chunks[c].firstPacket);
    }
    return Status::Ok();
}

} // namespace host::encoder
