// What the virtual device encodes during one run: taken from the device's settings when the
// graph starts, and fixed until it stops.
#pragma once

#include "platform/devices/encoder/encoder_status.h"

#include <compare>
#include <cstdint>
#include <string>

namespace host::encoder {

// Frames per second as a fraction, so that 30000/1001 is exact.
struct FrameRate {
    int32_t num = 30;
    int32_t den = 1;

    double PerSecond() const { return den > 0 ? static_cast<double>(num) / den : 0.0; }
    auto operator<=>(const FrameRate&) const = default;
};

struct EncoderSettings {
    int32_t width = 1920;
    int32_t height = 1080;
    FrameRate frameRate;
    int32_t bitrateKbps = 12000;
    bool audioEnabled = true;
    int32_t sampleRateHz = 48000; // 44100 or 48000
    int32_t volume = 15;          // 0 (silent) to 15 (loudest)
    std::string deviceName = "YRA USB Device";

    auto operator<=>(const EncoderSettings&) const = default;
};

// Limits of the encoder: even picture sizes from 64x64 to 4096x2304, 1 to 120 frames per second,
// 100 to 100000 kbps, 44.1 or 48 kHz, volume 0-15. E_INVALIDARG names the offending field.
Status ValidateSettings(const EncoderSettings& settings);

// One line per topic, as the test pattern shows them.
std::string DescribeVideo(const EncoderSettings& settings);
std::string DescribeAudio(const EncoderSettings& settings);

} // namespace host::encoder
