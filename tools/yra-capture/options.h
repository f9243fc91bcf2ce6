// yra-capture's command line.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct RecordRequest {
    int row = 0;
    std::string path; // as given
};

struct SettingsRequest {
    int row = 0;
    std::vector<std::pair<std::string, std::string>> values; // key, value in the order given
};

struct Options {
    bool help = false;
    bool list = false;
    std::vector<SettingsRequest> settings;
    std::vector<RecordRequest> records;
    double durationSeconds = 0;
    bool durationGiven = false;
};

// Parses argv; on a mistake returns false with the reason in `error`.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

extern const char* const kUsage;
