// The progress line while rows record, and the summary when they stop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace capture_tool {

struct RecordingFile {
    int row = 0;
    std::string path;
    bool ended = false; // its device went away: nothing more will come
};

// Bytes recorded so far for a row: the file's size, or more where the writer still buffers.
using BytesOfRow = std::function<uint64_t(const RecordingFile&)>;

class ProgressReporter {
public:
    ProgressReporter(std::vector<RecordingFile> files, BytesOfRow bytes);
    // Redraws the line (on a terminal) or prints one every second (otherwise).
    void Update();
    // Ends the progress line and prints each file's size and average bit rate.
    void Summary();
    double ElapsedSeconds() const;

private:
    std::string Line() const;

    std::vector<RecordingFile> m_files;
    BytesOfRow m_bytes;
    std::chrono::steady_clock::time_point m_start;
    bool m_terminal;
    double m_lastPrinted = -1;
    bool m_lineOpen = false;
};

uint64_t FileBytes(const std::string& path);

} // namespace capture_tool
