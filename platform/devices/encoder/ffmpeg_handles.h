// Owners for the FFmpeg objects the loop encoder uses, and the translation of FFmpeg's error
// codes into the host's results.
#pragma once

#include "platform/devices/encoder/encoder_status.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <memory>
#include <string>

namespace host::encoder {

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// An option list handed to an FFmpeg open call, which removes the options it used.
class Dictionary {
public:
    Dictionary() = default;
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    ~Dictionary() { av_dict_free(&m_dict); }

    void Set(const char* key, const std::string& value) { av_dict_set(&m_dict, key, value.c_str(), 0); }
    AVDictionary** Address() { return &m_dict; }

private:
    AVDictionary* m_dict = nullptr;
};

inline std::string AvErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

inline Status AvFailure(const std::string& what, int error) {
    return Status::Fail(error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL, what + ": " + AvErrorText(error));
}

} // namespace host::encoder
