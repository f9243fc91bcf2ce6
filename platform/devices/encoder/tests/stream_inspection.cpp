#include "stream_inspection.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace encoder_test {

std::vector<uint8_t> Collect(host::encoder::TransportStreamer& streamer, int64_t frames) {
    const REFERENCE_TIME end = streamer.Loop().plan.VideoFrameTime100ns(frames);
    std::vector<uint8_t> bytes;
    for (;;) {
        const host::encoder::StreamChunk chunk = streamer.Next();
        if (chunk.startTime >= end) return bytes;
        bytes.insert(bytes.end(), chunk.data, chunk.data + chunk.size);
    }
}

const ProbedStream* Probe::Find(const std::string& codec) const {
    for (const ProbedStream& s : streams)
        if (s.codec == codec) return &s;
    return nullptr;
}

namespace {

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int ReadMemory(void* opaque, uint8_t* buffer, int size) {
    auto* reader = static_cast<MemoryReader*>(opaque);
    const size_t left = reader->bytes->size() - reader->position;
    if (left == 0) return AVERROR_EOF;
    const size_t n = std::min(left, static_cast<size_t>(size));
    std::memcpy(buffer, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

} // namespace

Probe ProbeWithLibav(const std::vector<uint8_t>& bytes) {
    Probe probe;
    MemoryReader reader{&bytes};
    constexpr int kBufferSize = 32 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, &reader, ReadMemory, nullptr, nullptr);
    AVFormatContext* context = avformat_alloc_context();
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (int error = avformat_open_input(&context, nullptr, av_find_input_format("mpegts"), nullptr); error < 0) {
        probe.error = "cannot open the stream";
    } else if (avformat_find_stream_info(context, nullptr) < 0) {
        probe.error = "cannot find stream information";
    } else {
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVStream* st = context->streams[i];
            ProbedStream s;
            s.codec = avcodec_get_name(st->codecpar->codec_id);
            s.pid = st->id;
            s.width = st->codecpar->width;
            s.height = st->codecpar->height;
            s.frameRateNum = st->r_frame_rate.num;
            s.frameRateDen = st->r_frame_rate.den;
            s.sampleRate = st->codecpar->sample_rate;
            if (const char* profile = avcodec_profile_name(st->codecpar->codec_id, st->codecpar->profile)) s.profile = profile;
            probe.streams.push_back(s);
        }
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(context, packet) >= 0) {
            probe.streams[packet->stream_index].pts.push_back(packet->pts);
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    avformat_close_input(&context);
    av_freep(&io->buffer);
    avio_context_free(&io);
    return probe;
}

TransportWalk WalkTransportStream(const std::vector<uint8_t>& bytes) {
    TransportWalk walk;
    if (bytes.size() % 188 != 0) walk.error = "not a whole number of 188-byte packets";
    std::map<uint16_t, int> lastCounter;
    long open[2] = {-1, -1}; // index in walk.pes of each stream's PES being filled
    uint16_t lastStartedPid = 0;
    for (size_t at = 0; at + 188 <= bytes.size(); at += 188) {
        const uint8_t* p = bytes.data() + at;
        if (p[0] != 0x47) {
            walk.error = "lost sync at byte " + std::to_string(at);
            return walk;
        }
        const uint16_t pid = static_cast<uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
        ++walk.packets[pid];
        const bool payload = p[3] & 0x10;
        const int counter = p[3] & 0x0F;
        if (auto last = lastCounter.find(pid); last != lastCounter.end()) {
            const int expected = payload ? (last->second + 1) & 0x0F : last->second;
            if (counter != expected) ++walk.continuityErrors;
        }
        lastCounter[pid] = counter;

        if ((pid != 0x44 && pid != 0x45) || !payload) continue;
        size_t start = 4;
        if (p[3] & 0x20) start = 5 + p[4];
        if (start > 188) {
            walk.error = "adaptation field too long";
            return walk;
        }
        const int slot = pid == 0x44 ? 0 : 1;
        if (p[1] & 0x40) {
            const uint8_t* h = p + start;
            if (start + 9 > 188 || h[0] != 0 || h[1] != 0 || h[2] != 1) {
                walk.error = "payload unit start without PES header";
                return walk;
            }
            open[slot] = static_cast<long>(walk.pes.size());
            walk.pes.push_back({pid, std::nullopt, {}});
            if (h[7] & 0x80) {
                const uint8_t* t = h + 9;
                walk.pes.back().pts = (int64_t{(t[0] >> 1) & 7} << 30) | (int64_t{t[1]} << 22) |
                                      (int64_t{t[2] >> 1} << 15) | (int64_t{t[3]} << 7) | (t[4] >> 1);
            }
            start += 9 + h[8];
            if (start > 188) {
                walk.error = "PES header runs past its packet";
                return walk;
            }
            lastStartedPid = pid;
        } else if (lastStartedPid != pid) {
            walk.interleavedPes = true;
        }
        if (open[slot] < 0) {
            walk.error = "payload before the first PES header";
            return walk;
        }
        std::vector<uint8_t>& into = walk.pes[static_cast<size_t>(open[slot])].payload;
        into.insert(into.end(), p + start, p + 188);
    }
    return walk;
}

std::vector<int> NalUnitTypes(const std::vector<uint8_t>& payload) {
    std::vector<int> types;
    for (size_t i = 0; i + 3 < payload.size(); ++i) {
        if (payload[i] == 0 && payload[i + 1] == 0 && payload[i + 2] == 1) {
            types.push_back(payload[i + 3] & 0x1F);
            i += 3;
        }
    }
    return types;
}

std::optional<std::string> DecodeWarnings(const std::vector<uint8_t>& bytes, const std::string& name) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) return std::nullopt;
    const std::string path = testing::TempDir() + name + ".ts";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    const std::string command = "ffmpeg -nostdin -hide_banner -v warning -i '" + path + "' -f null - 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 256> line;
        while (fgets(line.data(), line.size(), pipe)) output += line.data();
        if (pclose(pipe) != 0) output += "(ffmpeg failed)";
    }
    std::remove(path.c_str());
    return output;
}

} // namespace encoder_test
