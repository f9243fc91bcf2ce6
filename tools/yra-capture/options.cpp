// Reading yra-capture's command line.
#include "options.h"

#include "file_names.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const kUsage = R"(Usage: yra-capture [--list] [--settings ROW KEY=VALUE...]...
                   [--record ROW:FILE]... [--duration SECONDS]

Runs the capture program's own dialogs without a display, as a person would use them, for
servers and scripts. The main dialog opens and finds the attached devices; then, in this order:

  --list                 prints the dialog's title and its rows: row number, label, and whether
                         Set, Start and Stop are enabled.
  --settings ROW K=V...  presses Set on row ROW, chooses the values in the encode settings
                         dialog, prints what it shows and presses OK. Keys:
                           audio=on|off        the Enable check box
                           rate=44.1|48        sample rate, kHz
                           volume=0..15
                           input=WxH RATE      input resolution as listed, e.g. input=1280x720_50P
                                               (spaces or '_' between the parts; case ignored)
                           encode=WxH RATE     encode resolution, from the list the input allows
                           bitrate=KBPS        1000, 3000, 5000, 7000, 9000, 10000, 20000 or 30000
                         The input is chosen first, since it decides the encode list.
                         The device keeps them, as hardware does, but the program writes
                         every device's defaults when it starts: give --settings with --record.
  --record ROW:FILE      presses Start on row ROW and answers the file dialog with FILE
                         (an existing file is overwritten; the dialog adds .ts to a name
                         without an extension, and the tool says so); repeat for several rows
                         at once. FILE must be a UTF-8 name and not a folder; a file another
                         recording holds is refused as in use.
  --duration SECONDS     how long to record (default 10); then Stop is pressed on each row.

The dialog is closed at the end, which stops anything still recording.

While recording, a progress line on stderr shows the elapsed time and, per file, the bytes
written and the bit rate. Every message box the program raises is printed to stderr. A device
that is unplugged while it records (yra-device unplug) ends its file there, which stays
playable; the tool says so and stops once every recording has ended. A device that another
program records already fails to start with HRESULT 0x800700AA (busy).

Exit status: 0 on success; 1 when the program raised an error message box or an action could
not be done (no such row, a value not offered, a file not written, a device unplugged while it
recorded, standard output lost); 2 for a usage mistake.

Devices are those of $YRA_HOST_ROOT/devices.conf, or the one built-in "YRA USB Device".

Examples:
  yra-capture --list
  yra-capture --record 0:capture.ts --duration 5
  yra-capture --settings 0 input=1280x720_60P encode=640x480_60P bitrate=3000 --record 0:small.ts
  yra-capture --record 0:a.ts --record 1:b.ts --duration 60
)";

namespace {

bool ParseRow(const char* text, int* row) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end || errno || value < 0 || value > 0x1FF) return false;
    *row = static_cast<int>(value);
    return true;
}

} // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto needValue = [&](const char* what) {
            if (i + 1 < argc) return true;
            *error = arg + " needs " + what;
            return false;
        };
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--list") {
            options->list = true;
        } else if (arg == "--settings") {
            if (!needValue("a row")) return false;
            SettingsRequest request;
            if (!ParseRow(argv[++i], &request.row)) {
                *error = std::string("--settings: not a row number: ") + argv[i];
                return false;
            }
            while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
                std::string pair = argv[++i];
                size_t eq = pair.find('=');
                if (eq == std::string::npos || eq == 0) {
                    *error = "--settings: expected KEY=VALUE, got " + pair;
                    return false;
                }
                request.values.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
            }
            if (request.values.empty()) {
                *error = "--settings " + std::to_string(request.row) + ": no KEY=VALUE given";
                return false;
            }
            options->settings.push_back(std::move(request));
        } else if (arg == "--record") {
            if (!needValue("ROW:FILE")) return false;
            std::string value = argv[++i];
            size_t colon = value.find(':');
            RecordRequest request;
            if (colon == std::string::npos || !ParseRow(value.substr(0, colon).c_str(), &request.row) ||
                colon + 1 == value.size()) {
                *error = "--record: expected ROW:FILE, got " + value;
                return false;
            }
            request.path = value.substr(colon + 1);
            size_t bad = 0;
            if (!capture_tool::IsValidUtf8(request.path, &bad)) {
                char byte[8];
                std::snprintf(byte, sizeof(byte), "0x%02X", static_cast<unsigned char>(request.path[bad]));
                *error = "--record: " + capture_tool::Printable(request.path) + " is not valid UTF-8 (byte " +
                         byte + " at offset " + std::to_string(bad) +
                         "); the program keeps file names as Unicode text, so give the name in UTF-8";
                return false;
            }
            options->records.push_back(std::move(request));
        } else if (arg == "--duration") {
            if (!needValue("a number of seconds")) return false;
            char* end = nullptr;
            double seconds = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end || !std::isfinite(seconds) || seconds < 0) {
                *error = std::string("--duration: not a number of seconds: ") + argv[i];
                return false;
            }
            options->durationSeconds = seconds;
            options->durationGiven = true;
        } else {
            *error = "unknown argument: " + arg;
            return false;
        }
    }
    if (options->durationGiven && options->records.empty()) {
        *error = "--duration without --record";
        return false;
    }
    if (!options->durationGiven) options->durationSeconds = 10;
    for (size_t a = 0; a < options->records.size(); ++a)
        for (size_t b = 0; b < a; ++b)
            if (options->records[a].row == options->records[b].row) {
                *error = "--record: row " + std::to_string(options->records[a].row) + " given twice";
                return false;
            }
    if (!options->help && !options->list && options->settings.empty() && options->records.empty()) {
        *error = "nothing to do: give --list, --settings or --record";
        return false;
    }
    return true;
}
