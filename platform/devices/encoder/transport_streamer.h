// The virtual device's stream: the cached loop repeated for as long as the device runs, with
// every repetition's time stamps, PCRs and continuity counters rewritten so that the result is
// one continuous transport stream.
//
// The device filter's streaming thread does:
//
//     auto streamer = TransportStreamer::Create(settings, &stop);   // at run; may wait for the encode
//     for (;;) {
//         StreamChunk chunk = streamer.value()->Next();
//         if (WaitForStreamTime(clock, chunk.startTime, stop) != S_OK) break;   // stopped or clock failed
//         deliver chunk.data, chunk.size (times chunk.startTime..chunk.stopTime, sync point chunk.keyFrame)
//     }
#pragma once

#include "platform/devices/encoder/encoded_loop.h"
#include "platform/devices/encoder/stream_pacer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace host::encoder {

// A piece of the stream: whole 188-byte transport packets, due at `startTime`.
struct StreamChunk {
    const uint8_t* data = nullptr; // valid until the next call to Next()
    size_t size = 0;               // a multiple of 188, never 0
    REFERENCE_TIME startTime = 0;  // 100-ns units from the start of the stream: when to deliver
    REFERENCE_TIME stopTime = 0;   // the start of the next video frame
    bool keyFrame = false;         // begins with the PES of an IDR picture (and its parameter sets)
};

struct StreamerOptions {
    // 0: one chunk per video frame. Otherwise a frame's packets are split into chunks of at most
    // this many bytes (rounded down to whole packets, at least one), which share the frame's times.
    size_t maxChunkBytes = 0;
};

class TransportStreamer {
public:
    // A streamer on the shared loop cache's loop for `settings`; see LoopCache::Get for what it
    // blocks on and how it fails.
    static Result<std::unique_ptr<TransportStreamer>> Create(const EncoderSettings& settings,
                                                             const StopSignal* stop = nullptr,
                                                             StreamerOptions options = {});

    explicit TransportStreamer(std::shared_ptr<const EncodedLoop> loop, StreamerOptions options = {});

    // The next chunk of the endless stream. Cannot fail: it copies and patches the loop.
    StreamChunk Next();

    // The largest chunk Next() can return, for sizing the filter's buffers.
    size_t MaxChunkBytes() const { return m_buffer.size(); }
    const EncodedLoop& Loop() const { return *m_loop; }

private:
    // Copies one loop packet into `out`, rewritten for the current repetition; false when this
    // repetition does not send it.
    bool EmitPacket(const LoopPacket& entry, const uint8_t* source, uint8_t* out);
    void StartRepetition(int64_t repetition);

    std::shared_ptr<const EncodedLoop> m_loop;
    size_t m_chunkLimit; // bytes, whole packets
    std::vector<uint8_t> m_buffer;

    int64_t m_repetition = 0;
    size_t m_chunk = 0;          // the loop's chunk being sent
    size_t m_packetInChunk = 0;  // where in that chunk the next Next() continues
    int32_t m_audioFramesThisRepetition = 0;
    int64_t m_audioFirstFrame = 0; // audio frames sent before this repetition
    int64_t m_pcrShift = 0;        // 90 kHz

    std::array<uint8_t, 8192> m_nextContinuity{}; // per PID
};

} // namespace host::encoder
