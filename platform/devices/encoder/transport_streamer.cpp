#include "platform/devices/encoder/transport_streamer.h"

#include "platform/devices/encoder/loop_cache.h"
#include "platform/devices/encoder/ts_packet.h"

#include <algorithm>
#include <cstring>

namespace host::encoder {

Result<std::unique_ptr<TransportStreamer>> TransportStreamer::Create(const EncoderSettings& settings,
                                                                     const StopSignal* stop, StreamerOptions options) {
    Result<LoopCache::Loop> loop = LoopCache::Shared().Get(settings, stop);
    if (!loop.ok()) return loop.status();
    return std::make_unique<TransportStreamer>(loop.value(), options);
}

TransportStreamer::TransportStreamer(std::shared_ptr<const EncodedLoop> loop, StreamerOptions options)
    : m_loop(std::move(loop)) {
    size_t largest = 0;
    for (const LoopChunk& chunk : m_loop->chunks) largest = std::max<size_t>(largest, chunk.packetCount);
    largest *= kTsPacketSize;
    m_chunkLimit = largest;
    if (options.maxChunkBytes != 0)
        m_chunkLimit = std::min(largest, std::max(kTsPacketSize, options.maxChunkBytes / kTsPacketSize * kTsPacketSize));
    m_buffer.resize(m_chunkLimit);
    StartRepetition(0);
}

void TransportStreamer::StartRepetition(int64_t repetition) {
    const LoopPlan& plan = m_loop->plan;
    m_repetition = repetition;
    m_audioFirstFrame = plan.AudioFramesBefore(repetition);
    m_audioFramesThisRepetition = plan.AudioFramesIn(repetition);
    m_pcrShift = plan.VideoFrameTime90k(repetition * plan.VideoFrames());
}

StreamChunk TransportStreamer::Next() {
    const LoopPlan& plan = m_loop->plan;
    for (;;) {
        const LoopChunk& chunk = m_loop->chunks[m_chunk];
        const int64_t frame = m_repetition * plan.VideoFrames() + static_cast<int64_t>(m_chunk);
        StreamChunk out;
        out.data = m_buffer.data();
        out.startTime = plan.VideoFrameTime100ns(frame);
        out.stopTime = plan.VideoFrameTime100ns(frame + 1);

        while (m_packetInChunk < chunk.packetCount && out.size + kTsPacketSize <= m_chunkLimit) {
            const size_t index = chunk.firstPacket + m_packetInChunk++;
            const LoopPacket& entry = m_loop->packets[index];
            if (!EmitPacket(entry, m_loop->bytes.data() + index * kTsPacketSize, m_buffer.data() + out.size)) continue;
            out.size += kTsPacketSize;
            if (entry.stream == LoopStream::Video && entry.ptsOffset != 0 && entry.frame == 0) out.keyFrame = true;
        }

        if (m_packetInChunk == chunk.packetCount) {
            m_packetInChunk = 0;
            if (++m_chunk == m_loop->chunks.size()) {
                m_chunk = 0;
                StartRepetition(m_repetition + 1);
            }
        }
        // A piece can come out empty only when it held nothing but audio this repetition skips.
        if (out.size != 0) return out;
    }
}

bool TransportStreamer::EmitPacket(const LoopPacket& entry, const uint8_t* source, uint8_t* out) {
    if (entry.stream == LoopStream::Audio && entry.frame >= m_audioFramesThisRepetition) return false;
    std::memcpy(out, source, kTsPacketSize);

    // Counters run on across repetitions; a packet without payload repeats the last one.
    uint8_t& next = m_nextContinuity[entry.pid];
    if (TsHasPayload(out)) {
        TsSetContinuityCounter(out, next);
        next = static_cast<uint8_t>((next + 1) & 0x0F);
    } else {
        TsSetContinuityCounter(out, static_cast<uint8_t>((next + 15) & 0x0F));
    }

    if (entry.pcrOffset != 0) {
        uint8_t* pcr = out + entry.pcrOffset;
        WritePcrBase(pcr, WrapTimestamp(ReadPcrBase(pcr) + m_pcrShift));
    }
    if (entry.ptsOffset != 0) {
        const LoopPlan& plan = m_loop->plan;
        const int64_t shift =
            entry.stream == LoopStream::Video
                ? plan.VideoFrameTime90k(m_repetition * plan.VideoFrames() + entry.frame) -
                      plan.VideoFrameTime90k(entry.frame)
                : plan.AudioFrameTime90k(m_audioFirstFrame + entry.frame) - plan.AudioFrameTime90k(entry.frame);
        uint8_t* pts = out + entry.ptsOffset;
        WritePesTimestamp(pts, WrapTimestamp(ReadPesTimestamp(pts) + shift));
        if (entry.dtsOffset != 0) {
            uint8_t* dts = out + entry.dtsOffset;
            WritePesTimestamp(dts, WrapTimestamp(ReadPesTimestamp(dts) + shift));
        }
    }
    return true;
}

} // namespace host::encoder
