#include "report.h"

#include <cstdio>

namespace sdkinfo {
namespace {

std::string Format(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

const char* SetName(const GUID& set) {
    if (set == PROPSETID_HDC_ENCODER) return "ENC";
    if (set == PROPSETID_HDC_DEVICE) return "DEV";
    if (set == PROPSETID_VIDCAP_VIDEOPROCAMP) return "VPA";
    if (set == PROPSETID_EXT_NODE2) return "N2";
    if (set == PROPSETID_EXT_NODE4) return "N4";
    return "?";
}

const char* AccessName(host::PropertyAccess access) {
    switch (access) {
    case host::PropertyAccess::Get:
        return "get";
    case host::PropertyAccess::Set:
        return "set";
    case host::PropertyAccess::QuerySupported:
        return "query";
    }
    return "?";
}

} // namespace

std::string ResultText(HRESULT hr) {
    if (hr == S_OK) return "S_OK";
    return Format("0x%08X", static_cast<unsigned>(hr));
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string HdmiModeName(int code) {
    static const char* const kModes[] = {
        "Unknown Resolution", "No HDMI Signal",  "640 x 480 60P",   "720 x 480 60P",   "720 x 576 50P",
        "800 x 600 60P",      "1024 x 768 60P",  "1280 x 720 50P",  "1280 x 720 60P",  "1280 x 768 60P",
        "1280 x 800 60P",     "1280 x 1024 60P", "1360 x 768 60P",  "1440 x 900 60P",  "1680 x 1050 60P",
        "1920 x 1080 50I",    "1920 x 1080 60I", "1920 x 1080 24P", "1920 x 1080 25P", "1920 x 1080 30P",
        "1920 x 1080 50P",    "1920 x 1080 60P",
    };
    return code >= 1 && code <= 22 ? kModes[code - 1] : kModes[0];
}

std::vector<std::string> DescribeParam(const HDC_FILTER_PARAM& p) {
    const char* rate = p.nAudioSampleRate == 0 ? "44.1 kHz" : p.nAudioSampleRate == 1 ? "48 kHz" : "rate ?";
    return {
        Format("Audio            %s, %s (index %u), volume %u", p.bAudioEnable == 1 ? "on" : "off", rate,
               p.nAudioSampleRate, p.nAudioVolume),
        Format("Input            %u x %u, %u per second, %s", p.nInputWidth, p.nInputHeight,
               p.nInputFrameRate, p.bInputProgressive ? "progressive" : "interlaced"),
        Format("Encode           %u x %u at %u fps", p.nEncodeWidth, p.nEncodeHeight, p.nEncodeFrameRate),
        Format("Bit rate         %u kbps (second %u, third %u)", p.nBitRate, p.nBitRate2, p.nBitRate3),
    };
}

std::string DescribeCall(const host::PropertyCall& call) {
    std::string text = Format("%-5s %-3s %3u  %3u bytes", AccessName(call.access), SetName(call.set), call.id,
                              call.dataSize);
    if (call.node) text += Format("  node %u", *call.node);
    return text + "  " + ResultText(call.result);
}

} // namespace sdkinfo
