// Progress from the files' sizes as the dump filters write them.
#include "progress.h"

#include "file_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace capture_tool {
namespace {

std::string Bytes(uint64_t n) {
    char text[32];
    if (n >= 1024 * 1024)
        std::snprintf(text, sizeof(text), "%.1f MiB", static_cast<double>(n) / (1024.0 * 1024.0));
    else if (n >= 1024)
        std::snprintf(text, sizeof(text), "%.1f KiB", static_cast<double>(n) / 1024.0);
    else
        std::snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(n));
    return text;
}

std::string Rate(uint64_t bytes, double seconds) {
    char text[32];
    double mbps = seconds > 0 ? static_cast<double>(bytes) * 8.0 / seconds / 1e6 : 0.0;
    std::snprintf(text, sizeof(text), "%.2f Mbit/s", mbps);
    return text;
}

} // namespace

uint64_t FileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

ProgressReporter::ProgressReporter(std::vector<RecordingFile> files, BytesOfRow bytes)
    : m_files(std::move(files)), m_bytes(std::move(bytes)), m_start(std::chrono::steady_clock::now()), m_terminal(::isatty(2) == 1) {}

double ProgressReporter::ElapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

std::string ProgressReporter::Line() const {
    double elapsed = ElapsedSeconds();
    char head[32];
    std::snprintf(head, sizeof(head), "recording %6.1f s", elapsed);
    std::string line = head;
    for (const RecordingFile& f : m_files) {
        uint64_t bytes = m_bytes(f);
        line += "  row " + std::to_string(f.row) + ": " + Bytes(bytes) + " " + Rate(bytes, elapsed);
    }
    return line;
}

void ProgressReporter::Update() {
    double elapsed = ElapsedSeconds();
    if (m_terminal) {
        std::fprintf(stderr, "\r%s\033[K", Line().c_str());
        m_lineOpen = true;
    } else if (elapsed - m_lastPrinted >= 1.0) {
        std::fprintf(stderr, "%s\n", Line().c_str());
        m_lastPrinted = elapsed;
    }
    std::fflush(stderr);
}

void ProgressReporter::Summary() {
    double elapsed = ElapsedSeconds();
    if (m_lineOpen) std::fprintf(stderr, "\r%s\033[K\n", Line().c_str());
    m_lineOpen = false;
    for (const RecordingFile& f : m_files) {
        uint64_t bytes = FileBytes(f.path);
        std::fprintf(stderr, "yra-capture: row %d: %s: %llu bytes in %.1f s (%s)\n", f.row,
                     Printable(f.path).c_str(), static_cast<unsigned long long>(bytes), elapsed,
                     Rate(bytes, elapsed).c_str());
    }
}

} // namespace capture_tool
