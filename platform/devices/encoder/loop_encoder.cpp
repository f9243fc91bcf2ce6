#include "platform/devices/encoder/loop_encoder.h"

#include "platform/devices/encoder/audio_loop_encoder.h"
#include "platform/devices/encoder/loop_index.h"
#include "platform/devices/encoder/loop_muxer.h"
#include "platform/devices/encoder/test_pattern.h"
#include "platform/devices/encoder/tone_generator.h"
#include "platform/devices/encoder/video_loop_encoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <mutex>

namespace host::encoder {
namespace {

// The codecs report statistics at the information level whenever one closes; a device should not
// chatter on the host's console. A level someone already chose is left alone.
void QuietenCodecLogs() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    });
}

} // namespace

Result<std::shared_ptr<const EncodedLoop>> EncodeLoop(const EncoderSettings& settings, const std::atomic<bool>& cancel) {
    if (Status s = ValidateSettings(settings); !s.ok()) return s;
    QuietenCodecLogs();
    const auto started = std::chrono::steady_clock::now();
    const LoopPlan plan = LoopPlan::For(settings);

    VideoLoopEncoder video(settings, plan);
    std::vector<PacketPtr> videoPackets;
    if (Status s = video.Open(); !s.ok()) return s;
    if (Status s = video.Encode(TestPattern(settings, plan), cancel, videoPackets); !s.ok()) return s;

    AudioLoopEncoder audio(settings, plan);
    std::vector<PacketPtr> audioPackets;
    if (plan.HasAudio()) {
        if (Status s = audio.Open(); !s.ok()) return s;
        if (Status s = audio.Encode(ToneGenerator(plan, settings.volume), cancel, audioPackets); !s.ok()) return s;
    }

    auto loop = std::make_shared<EncodedLoop>(settings, plan);
    Result<std::vector<uint8_t>> bytes = MuxLoop(settings.deviceName, video.Context(), videoPackets,
                                                 plan.HasAudio() ? audio.Context() : nullptr, audioPackets);
    if (!bytes.ok()) return bytes.status();
    loop->bytes = std::move(bytes.value());
    if (Status s = IndexLoop(*loop); !s.ok()) return s;
    loop->encodeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return std::shared_ptr<const EncodedLoop>(std::move(loop));
}

} // namespace host::encoder
