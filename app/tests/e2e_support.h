// What the recording and yra-capture tests share: the device list in the test's host root, a
// folder for the test's files, and FFmpeg's view of a recorded file.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// The test's own folder under its host root, created on first use.
std::string TestDir();
// Writes $YRA_HOST_ROOT/devices.conf, one line per device.
void WriteDeviceList(const std::vector<std::string>& lines);

bool HaveFfmpegTools();
// ffprobe's streams, sorted: "h264 WIDTHxHEIGHT" and "aac SAMPLERATE".
std::vector<std::string> ProbeStreams(const std::string& path);
// What ffmpeg reports while decoding the whole file; empty for a clean file.
std::string DecodeErrors(const std::string& path);

// A shell command's exit status and output.
struct CommandResult {
    int status = -1;
    std::string out, err;
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& s);

} // namespace e2e
