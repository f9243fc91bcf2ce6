#include "platform/devices/encoder/audio_loop_encoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <string>

namespace host::encoder {

Status AudioLoopEncoder::Open() {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) return Status::Fail(E_FAIL, "the AAC encoder is not available in libavcodec");
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context) return Status::Fail(E_OUTOFMEMORY, "cannot allocate the AAC encoder");

    AVCodecContext* c = m_context.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = m_settings.sampleRateHz;
    c->time_base = {1, m_settings.sampleRateHz};
    c->bit_rate = kAudioBitRate;
    c->profile = FF_PROFILE_AAC_LOW;
    // The transport stream muxer builds each ADTS header from the global configuration.
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (int error = av_channel_layout_copy(&c->ch_layout, &stereo); error < 0)
        return AvFailure("cannot set the AAC channel layout", error);
    if (int error = avcodec_open2(c, codec, nullptr); error < 0) return AvFailure("cannot open the AAC encoder", error);
    if (c->frame_size != kAacFrameSamples)
        return Status::Fail(E_UNEXPECTED, "AAC encoder uses frames of " + std::to_string(c->frame_size) + " samples");
    return Status::Ok();
}

Status AudioLoopEncoder::Encode(const ToneGenerator& tone, const std::atomic<bool>& cancel,
                                std::vector<PacketPtr>& packets) {
    AVCodecContext* c = m_context.get();
    // One frame beyond the loop: the encoder looks one frame ahead, and the loop's last packet
    // must see the silence that the next repetition starts with.
    const int32_t frames = m_plan.AudioFramesEncoded();
    for (int32_t i = 0; i <= frames; ++i) {
        if (cancel.load(std::memory_order_relaxed)) return Status::Fail(E_ABORT, "loop encoding cancelled");
        FramePtr frame(av_frame_alloc());
        if (!frame) return Status::Fail(E_OUTOFMEMORY, "cannot allocate an audio frame");
        frame->format = c->sample_fmt;
        frame->sample_rate = c->sample_rate;
        frame->nb_samples = kAacFrameSamples;
        if (int error = av_channel_layout_copy(&frame->ch_layout, &c->ch_layout); error < 0)
            return AvFailure("cannot set an audio frame's layout", error);
        if (int error = av_frame_get_buffer(frame.get(), 0); error < 0)
            return AvFailure("cannot allocate an audio frame", error);
        tone.Fill(int64_t{i} * kAacFrameSamples, kAacFrameSamples, reinterpret_cast<float*>(frame->data[0]),
                  reinterpret_cast<float*>(frame->data[1]));
        frame->pts = int64_t{i} * kAacFrameSamples;
        if (int error = avcodec_send_frame(c, frame.get()); error < 0)
            return AvFailure("AAC encoder refused frame " + std::to_string(i), error);
        if (Status s = Drain(false, packets); !s.ok()) return s;
    }
    if (int error = avcodec_send_frame(c, nullptr); error < 0) return AvFailure("cannot flush the AAC encoder", error);
    if (Status s = Drain(true, packets); !s.ok()) return s;

    if (packets.size() != static_cast<size_t>(frames))
        return Status::Fail(E_UNEXPECTED, "AAC encoder returned " + std::to_string(packets.size()) +
                                              " frames for a loop of " + std::to_string(frames));
    return Status::Ok();
}

Status AudioLoopEncoder::Drain(bool flushing, std::vector<PacketPtr>& packets) {
    const int32_t frames = m_plan.AudioFramesEncoded();
    for (;;) {
        PacketPtr packet(av_packet_alloc());
        if (!packet) return Status::Fail(E_OUTOFMEMORY, "cannot allocate a packet");
        const int error = avcodec_receive_packet(m_context.get(), packet.get());
        if (error == AVERROR(EAGAIN) && !flushing) return Status::Ok();
        if (error == AVERROR_EOF) return Status::Ok();
        if (error < 0) return AvFailure("AAC encoding failed", error);
        // The encoder's priming packet comes before time 0 and the look-ahead frame after the loop:
        // the loop keeps the packets in between, which decode to its own samples.
        if (packet->pts < 0 || packet->pts % kAacFrameSamples != 0) continue;
        const int64_t index = packet->pts / kAacFrameSamples;
        if (index >= frames) continue;
        if (index != static_cast<int64_t>(packets.size()))
            return Status::Fail(E_UNEXPECTED, "AAC encoder skipped a frame at sample " + std::to_string(packet->pts));
        packet->pts = m_plan.AudioFrameTime90k(index);
        packet->dts = packet->pts;
        packet->duration = m_plan.AudioFrameTime90k(index + 1) - packet->pts;
        packets.push_back(std::move(packet));
    }
}

} // namespace host::encoder
