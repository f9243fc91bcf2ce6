// yra-sdkinfo: runs the device SDK against the virtual device and prints what it reports.
#include "host/device_ks.h"
#include "report.h"
#include "standard_output.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: yra-sdkinfo [options]\n"
    "\n"
    "Runs the YRA HD Capture SDK against a virtual capture device \"YRA USB Device\" of its own,\n"
    "powered on for this run, and prints the SDK version, the MCU firmware version, the HDMI\n"
    "receiver's resolution code and the device's encoder settings record. This device is not the\n"
    "one the other programs share (yra-device list): what they write to theirs is not seen here.\n"
    "\n"
    "Options:\n"
    "  --initialize        write the SDK's default settings first, as the capture program does\n"
    "                      for every device it finds\n"
    "  --mcu-version X.Y   give the virtual device this firmware version (default 1.3)\n"
    "  --hdmi-code N       give the virtual device this HDMI receiver code, 0-255 (default 22)\n"
    "  --trace             list every property request the device received\n"
    "  -h, --help          show this text\n"
    "\n"
    "Exit status: 0 when every SDK call succeeded, 1 when one failed, 2 for a usage error.\n";

struct Options {
    bool initialize = false;
    bool trace = false;
    host::DeviceConfig device;
};

std::optional<unsigned> ParseByte(std::string_view text) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 255) return std::nullopt;
    return value;
}

bool ParseVersion(std::string_view text, host::DeviceConfig& device) {
    size_t dot = text.find('.');
    if (dot == std::string_view::npos) return false;
    auto major = ParseByte(text.substr(0, dot));
    auto minor = ParseByte(text.substr(dot + 1));
    if (!major || !minor) return false;
    device.firmwareMajor = static_cast<uint8_t>(*major);
    device.firmwareMinor = static_cast<uint8_t>(*minor);
    return true;
}

// Returns the exit status to stop with, or nothing to go on.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--initialize") {
            options.initialize = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--mcu-version" && ParseVersion(value, options.device)) {
            ++i;
        } else if (arg == "--hdmi-code" && ParseByte(value)) {
            options.device.hdmiCode = static_cast<uint8_t>(*ParseByte(value));
            ++i;
        } else {
            std::fprintf(stderr, "yra-sdkinfo: bad argument '%s'\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    return std::nullopt;
}

void Line(const char* label, const std::string& text) {
    std::printf("%-17s%s\n", label, text.c_str());
}

} // namespace

static int Main(int argc, char** argv) {
    Options options;
    if (auto status = ParseOptions(argc, argv, options)) return *status;

    auto model = std::make_shared<host::DeviceModel>(options.device);
    IBaseFilter* filter = nullptr;
    HRESULT hr = host::CreateDeviceControlFilter(model, &filter);
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-sdkinfo: no virtual device (%s)\n", sdkinfo::ResultText(hr).c_str());
        return 1;
    }

    bool failed = false;
    Line("SDK version", std::to_string(YRA_HDC_SDK_GetVersion()));
    Line("Device", sdkinfo::Utf8(model->Name()));
    if (options.initialize) {
        hr = YRA_HDC_SDK_InitializeFilterParam(filter);
        failed |= FAILED(hr);
        Line("Initialise", FAILED(hr) ? "failed, " + sdkinfo::ResultText(hr) : "default settings written");
    }

    int major = 0, minor = 0;
    hr = YRA_HDC_SDK_GetMCUVersion(filter, &major, &minor);
    failed |= FAILED(hr);
    Line("MCU firmware", FAILED(hr) ? "failed, " + sdkinfo::ResultText(hr)
                                    : std::to_string(major) + "." + std::to_string(minor));

    int code = 0;
    hr = YRA_HDC_SDK_GetHDMIRXResolution(filter, &code);
    failed |= FAILED(hr);
    Line("HDMI receiver", FAILED(hr)
                              ? "failed, " + sdkinfo::ResultText(hr)
                              : "code " + std::to_string(code) + " (" + sdkinfo::HdmiModeName(code) + ")");

    HDC_FILTER_PARAM param{};
    hr = YRA_HDC_SDK_GetFilterParam(filter, &param);
    failed |= FAILED(hr);
    if (FAILED(hr)) {
        Line("Settings", "failed, " + sdkinfo::ResultText(hr));
    } else {
        for (const std::string& line : sdkinfo::DescribeParam(param))
            std::printf("%s\n", line.c_str());
    }

    if (options.trace) {
        std::printf("\nProperty requests:\n");
        for (const host::PropertyCall& call : model->Calls())
            std::printf("  %s\n", sdkinfo::DescribeCall(call).c_str());
    }
    filter->Release();
    return failed ? 1 : 0;
}

int main(int argc, char** argv) {
    return tool_common::FinishStandardOutput("yra-sdkinfo", Main(argc, argv));
}
