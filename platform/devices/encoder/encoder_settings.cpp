#include "platform/devices/encoder/encoder_settings.h"

#include <cstdio>

namespace host::encoder {
namespace {

Status Invalid(const char* field, long long value) {
    return Status::Fail(E_INVALIDARG, std::string("encoder setting out of range: ") + field + " = " +
                                          std::to_string(value));
}

} // namespace

Status ValidateSettings(const EncoderSettings& s) {
    if (s.width < 64 || s.width > 4096 || s.width % 2 != 0) return Invalid("width", s.width);
    if (s.height < 64 || s.height > 2304 || s.height % 2 != 0) return Invalid("height", s.height);
    if (s.frameRate.num <= 0 || s.frameRate.den <= 0) return Invalid("frame rate denominator", s.frameRate.den);
    // Compare as integers so that 120000/1001 is rejected and 120/1 is not.
    const long long num = s.frameRate.num, den = s.frameRate.den;
    if (num < den || num > 120 * den) return Invalid("frame rate numerator", num);
    if (s.bitrateKbps < 100 || s.bitrateKbps > 100000) return Invalid("bit rate (kbps)", s.bitrateKbps);
    if (s.sampleRateHz != 44100 && s.sampleRateHz != 48000) return Invalid("sample rate (Hz)", s.sampleRateHz);
    if (s.volume < 0 || s.volume > 15) return Invalid("volume", s.volume);
    return Status::Ok();
}

std::string DescribeVideo(const EncoderSettings& s) {
    char rate[32];
    if (s.frameRate.den == 1)
        std::snprintf(rate, sizeof rate, "%d", s.frameRate.num);
    else
        std::snprintf(rate, sizeof rate, "%.2f", s.frameRate.PerSecond());
    char text[96];
    std::snprintf(text, sizeof text, "H.264 %dx%d %s fps %d kbps", s.width, s.height, rate, s.bitrateKbps);
    return text;
}

std::string DescribeAudio(const EncoderSettings& s) {
    if (!s.audioEnabled) return "AAC off";
    char text[64];
    std::snprintf(text, sizeof text, "AAC %.1f kHz volume %d", s.sampleRateHz / 1000.0, s.volume);
    return text;
}

} // namespace host::encoder
