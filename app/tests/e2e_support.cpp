// Files, the device list and FFmpeg's tools for the end-to-end tests.
#include "e2e_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace e2e {
namespace {

std::string HostRoot() {
    const char* root = std::getenv("YRA_HOST_ROOT");
    return root && *root ? root : (std::filesystem::temp_directory_path() / "yra-app-tests").string();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

std::string TestDir() {
    // Each test runs in a process of its own; its files start afresh, since a file left by an
    // earlier run would make the save dialog ask whether to replace it.
    static const std::string dir = [] {
        std::string d = HostRoot() + "/files";
        std::error_code ec;
        std::filesystem::remove_all(d, ec);
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void WriteDeviceList(const std::vector<std::string>& lines) {
    std::filesystem::create_directories(HostRoot());
    std::ofstream out(HostRoot() + "/devices.conf");
    for (const std::string& line : lines) out << line << "\n";
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CommandResult RunCommand(const std::string& command) {
    std::string dir = TestDir();
    std::string out = dir + "/.stdout", err = dir + "/.stderr";
    int raw = std::system((command + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null").c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

bool HaveFfmpegTools() {
    return RunCommand("command -v ffprobe && command -v ffmpeg").status == 0;
}

std::vector<std::string> ProbeStreams(const std::string& path) {
    // A transport stream lists its streams under its program too: one line per stream index.
    CommandResult r = RunCommand("ffprobe -v error -show_entries stream=index,codec_name,width,height,sample_rate "
                                 "-of csv=p=0 " +
                                 Quote(path));
    std::vector<std::string> streams;
    std::set<std::string> seen;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (f.size() < 2 || !seen.insert(f[0]).second) continue;
        f.erase(f.begin());
        if (f[0] == "h264" && f.size() >= 3)
            streams.push_back("h264 " + f[1] + "x" + f[2]);
        else if (f[0] == "aac" && f.size() >= 2)
            streams.push_back("aac " + f[1]);
        else
            streams.push_back(line);
    }
    std::sort(streams.begin(), streams.end());
    return streams;
}

std::string DecodeErrors(const std::string& path) {
    return RunCommand("ffmpeg -nostdin -v error -i " + Quote(path) + " -f null -").err;
}

} // namespace e2e
