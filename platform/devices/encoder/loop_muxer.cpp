#include "platform/devices/encoder/loop_muxer.h"

#include "platform/devices/encoder/loop_plan.h"
#include "platform/devices/encoder/ts_packet.h"

#include <cstring>

namespace host::encoder {
namespace {

constexpr int kIoBufferSize = 64 * 1024;
// The muxer holds PCR this far ahead of the first decode time, as broadcast streams do.
constexpr int kMuxDelayMicroseconds = 700'000;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int AppendToVector(void* opaque, const uint8_t* data, int size) {
#else
int AppendToVector(void* opaque, uint8_t* data, int size) {
#endif
    auto* out = static_cast<std::vector<uint8_t>*>(opaque);
    out->insert(out->end(), data, data + size);
    return size;
}

// An output context writing into a vector; frees the context and its I/O together.
class MemoryMuxer {
public:
    MemoryMuxer() = default;
    MemoryMuxer(const MemoryMuxer&) = delete;
    MemoryMuxer& operator=(const MemoryMuxer&) = delete;
    ~MemoryMuxer() {
        if (m_io) av_freep(&m_io->buffer);
        avio_context_free(&m_io);
        avformat_free_context(m_context);
    }

    Status Open(std::vector<uint8_t>& out) {
        if (int error = avformat_alloc_output_context2(&m_context, nullptr, "mpegts", nullptr); error < 0)
            return AvFailure("cannot create the transport stream muxer", error);
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        if (!buffer) return Status::Fail(E_OUTOFMEMORY, "cannot allocate the muxer's buffer");
        m_io = avio_alloc_context(buffer, kIoBufferSize, 1, &out, nullptr, AppendToVector, nullptr);
        if (!m_io) {
            av_free(buffer);
            return Status::Fail(E_OUTOFMEMORY, "cannot allocate the muxer's output");
        }
        m_context->pb = m_io;
        m_context->flags |= AVFMT_FLAG_CUSTOM_IO;
        m_context->max_delay = kMuxDelayMicroseconds;
        return Status::Ok();
    }

    AVFormatContext* Context() const { return m_context; }

private:
    AVFormatContext* m_context = nullptr;
    AVIOContext* m_io = nullptr;
};

Result<AVStream*> AddStream(AVFormatContext* context, const AVCodecContext* codec, int pid) {
    AVStream* stream = avformat_new_stream(context, nullptr);
    if (!stream) return Status::Fail(E_OUTOFMEMORY, "cannot add a stream to the muxer");
    if (int error = avcodec_parameters_from_context(stream->codecpar, codec); error < 0)
        return AvFailure("cannot describe a stream to the muxer", error);
    stream->id = pid;
    stream->time_base = {1, static_cast<int>(kMpegClockHz)};
    return stream;
}

Status Write(AVFormatContext* context, const AVPacket& source, int streamIndex, bool audio) {
    PacketPtr packet(av_packet_clone(&source));
    if (!packet) return Status::Fail(E_OUTOFMEMORY, "cannot copy a packet for the muxer");
    packet->stream_index = streamIndex;
    if (int error = av_write_frame(context, packet.get()); error < 0)
        return AvFailure("transport stream muxer refused a packet", error);
    // The muxer gathers small audio frames into one PES; flushing sends each frame in its own.
    if (audio) {
        if (int error = av_write_frame(context, nullptr); error < 0)
            return AvFailure("transport stream muxer cannot flush an audio frame", error);
    }
    return Status::Ok();
}

} // namespace

Result<std::vector<uint8_t>> MuxLoop(const std::string& serviceName, const AVCodecContext* video,
                                     const std::vector<PacketPtr>& videoPackets, const AVCodecContext* audio,
                                     const std::vector<PacketPtr>& audioPackets) {
    std::vector<uint8_t> out;
    MemoryMuxer muxer;
    if (Status s = muxer.Open(out); !s.ok()) return s;
    AVFormatContext* context = muxer.Context();

    Result<AVStream*> videoStream = AddStream(context, video, kVideoPid);
    if (!videoStream.ok()) return videoStream.status();
    int audioIndex = -1;
    if (audio) {
        Result<AVStream*> audioStream = AddStream(context, audio, kAudioPid);
        if (!audioStream.ok()) return audioStream.status();
        audioIndex = audioStream.value()->index;
    }
    av_dict_set(&context->metadata, "service_provider", "YRA", 0);
    av_dict_set(&context->metadata, "service_name", serviceName.c_str(), 0);

    if (int error = avformat_write_header(context, nullptr); error < 0)
        return AvFailure("cannot start the transport stream", error);

    // Interleave by decode time, video first on a tie: each PES goes out whole, so the packets of
    // one frame are never mixed with the other stream's.
    size_t v = 0, a = 0;
    while (v < videoPackets.size() || a < audioPackets.size()) {
        const bool takeVideo =
            a == audioPackets.size() || (v < videoPackets.size() && videoPackets[v]->dts <= audioPackets[a]->dts);
        Status s = takeVideo ? Write(context, *videoPackets[v++], videoStream.value()->index, false)
                             : Write(context, *audioPackets[a++], audioIndex, true);
        if (!s.ok()) return s;
    }
    if (int error = av_write_trailer(context); error < 0) return AvFailure("cannot finish the transport stream", error);
    avio_flush(context->pb);

    if (out.empty() || out.size() % kTsPacketSize != 0)
        return Status::Fail(E_UNEXPECTED, "the muxer wrote " + std::to_string(out.size()) +
                                              " bytes, not whole transport packets");
    return out;
}

} // namespace host::encoder
