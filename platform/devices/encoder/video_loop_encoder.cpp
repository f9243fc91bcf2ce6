#include "platform/devices/encoder/video_loop_encoder.h"

#include <string>

namespace host::encoder {

Status VideoLoopEncoder::Open() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return Status::Fail(E_FAIL, "the H.264 encoder libx264 is not available in libavcodec");
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context) return Status::Fail(E_OUTOFMEMORY, "cannot allocate the H.264 encoder");

    AVCodecContext* c = m_context.get();
    c->width = m_settings.width;
    c->height = m_settings.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->sample_aspect_ratio = {1, 1};
    c->time_base = {m_settings.frameRate.den, m_settings.frameRate.num};
    c->framerate = {m_settings.frameRate.num, m_settings.frameRate.den};
    c->gop_size = m_plan.VideoFrames();
    c->max_b_frames = 0;
    c->bit_rate = int64_t{m_settings.bitrateKbps} * 1000;
    c->rc_max_rate = c->bit_rate;
    c->rc_buffer_size = static_cast<int>(c->bit_rate); // one second of buffer
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    c->thread_count = 0; // as many as the machine has: the loop is encoded once and waited for

    Dictionary options;
    // The fastest preset: a 1080p loop takes well under a second, and the picture is simple.
    options.Set("preset", "ultrafast");
    // One IDR picture per loop and nowhere else, so that every repetition starts a closed GOP.
    // CBR with filler makes the stream's rate the configured one, as a hardware encoder's is; a
    // buffer that starts full lets one loop carry exactly its share of bits.
    options.Set("x264-params", "aud=1:repeat-headers=1:scenecut=0:open-gop=0:nal-hrd=cbr:vbv-init=1.0:log=-1:keyint=" +
                                   std::to_string(m_plan.VideoFrames()));
    const int error = avcodec_open2(c, codec, options.Address());
    if (error < 0) return AvFailure("cannot open the H.264 encoder", error);
    return Status::Ok();
}

Status VideoLoopEncoder::Encode(const TestPattern& pattern, const std::atomic<bool>& cancel,
                                std::vector<PacketPtr>& packets) {
    AVCodecContext* c = m_context.get();
    for (int32_t i = 0; i < m_plan.VideoFrames(); ++i) {
        if (cancel.load(std::memory_order_relaxed)) return Status::Fail(E_ABORT, "loop encoding cancelled");
        FramePtr frame(av_frame_alloc());
        if (!frame) return Status::Fail(E_OUTOFMEMORY, "cannot allocate a video frame");
        frame->width = c->width;
        frame->height = c->height;
        frame->format = c->pix_fmt;
        if (int error = av_frame_get_buffer(frame.get(), 0); error < 0)
            return AvFailure("cannot allocate a video frame", error);
        PicturePlanes planes;
        for (int p = 0; p < 3; ++p) {
            planes.data[p] = frame->data[p];
            planes.stride[p] = frame->linesize[p];
        }
        pattern.Render(i, planes);
        frame->pts = i;
        if (i == 0) frame->pict_type = AV_PICTURE_TYPE_I;
        if (int error = avcodec_send_frame(c, frame.get()); error < 0)
            return AvFailure("H.264 encoder refused frame " + std::to_string(i), error);
        if (Status s = Drain(false, packets); !s.ok()) return s;
    }
    if (int error = avcodec_send_frame(c, nullptr); error < 0) return AvFailure("cannot flush the H.264 encoder", error);
    if (Status s = Drain(true, packets); !s.ok()) return s;

    if (packets.size() != static_cast<size_t>(m_plan.VideoFrames()))
        return Status::Fail(E_UNEXPECTED, "H.264 encoder returned " + std::to_string(packets.size()) +
                                              " pictures for a loop of " + std::to_string(m_plan.VideoFrames()));
    if (!(packets.front()->flags & AV_PKT_FLAG_KEY))
        return Status::Fail(E_UNEXPECTED, "H.264 loop does not start with a key frame");
    return Status::Ok();
}

Status VideoLoopEncoder::Drain(bool flushing, std::vector<PacketPtr>& packets) {
    for (;;) {
        PacketPtr packet(av_packet_alloc());
        if (!packet) return Status::Fail(E_OUTOFMEMORY, "cannot allocate a packet");
        const int error = avcodec_receive_packet(m_context.get(), packet.get());
        if (error == AVERROR(EAGAIN) && !flushing) return Status::Ok();
        if (error == AVERROR_EOF) return Status::Ok();
        if (error < 0) return AvFailure("H.264 encoding failed", error);
        // Without B-frames pictures leave in display order; the loop relies on it.
        if (packet->pts != static_cast<int64_t>(packets.size()) || packet->dts > packet->pts)
            return Status::Fail(E_UNEXPECTED, "H.264 encoder reordered the loop's pictures");
        const int64_t index = packet->pts;
        packet->pts = m_plan.VideoFrameTime90k(index);
        packet->dts = packet->pts;
        packet->duration = m_plan.VideoFrameTime90k(index + 1) - packet->pts;
        packets.push_back(std::move(packet));
    }
}

} // namespace host::encoder
