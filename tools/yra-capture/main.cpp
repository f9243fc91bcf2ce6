// yra-capture: the capture program's own dialogs, run without a display and driven from the
// command line. See --help.
#include "dialog_actions.h"
#include "file_names.h"
#include "message_log.h"
#include "options.h"
#include "progress.h"
#include "result_words.h"
#include "standard_output.h"

#include "YRA_HD_Capture_AP.h"
#include "YRA_HD_Capture_APDlg.h"

#include "host/device_filter.h"
#include "host/ui_test.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

namespace uitest = host::ui::test;
using namespace capture_tool;

CYRA_HD_Capture_APApp theApp;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

// The program reports nothing once a graph runs; a write failure (a full disk) or an unplugged
// device reaches the graph's event queue only. Reads the events of each recording row's graph and
// reports what ended a recording; a row whose device went away is marked ended.
bool RecordingsHealthy(std::vector<RecordingFile>& files) {
    auto* dlg = static_cast<CYRA_HD_Capture_APDlg*>(AfxGetMainWnd());
    bool healthy = true;
    for (RecordingFile& f : files) {
        const DeviceGraph* graph = dlg ? dlg->GetDeviceGraph(f.row) : nullptr;
        if (!graph || !graph->pGraph) continue;
        IMediaEventEx* events = nullptr;
        if (FAILED(graph->pGraph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events))) || !events)
            continue;
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
            if (code == EC_DEVICE_LOST && param2 == 0) {
                std::fprintf(stderr,
                             "\nyra-capture: row %d: the device was unplugged; the recording to %s ends there\n",
                             f.row, Printable(f.path).c_str());
                f.ended = true;
                healthy = false;
            } else if (code == EC_ERRORABORT && !(f.ended && param1 == host::kDeviceNotConnected)) {
                std::fprintf(stderr, "\nyra-capture: row %d: the recording to %s failed, HRESULT = %s\n",
                             f.row, Printable(f.path).c_str(),
                             ExplainResult(static_cast<HRESULT>(param1)).c_str());
                healthy = false;
            }
            events->FreeEventParams(code, param1, param2);
        }
        events->Release();
    }
    return healthy;
}

bool AllEnded(const std::vector<RecordingFile>& files) {
    return std::all_of(files.begin(), files.end(), [](const RecordingFile& f) { return f.ended; });
}

// Records the requested rows for the requested time; an interruption ends the wait early so
// that the files are still closed properly.
bool Record(HWND dlg, const Options& options) {
    std::vector<RecordingFile> started;
    bool ok = true;
    for (const RecordRequest& r : options.records) {
        std::error_code ec;
        std::string path = std::filesystem::absolute(r.path, ec).string();
        if (ec) path = r.path;
        // A person choosing a folder in the file dialog opens it; nothing is recorded there.
        if (std::filesystem::is_directory(path, ec) || path.back() == '/') {
            std::fprintf(stderr,
                         "yra-capture: row %d: %s is a folder; give the name of a file to record into\n",
                         r.row, Printable(path).c_str());
            ok = false;
            continue;
        }
        std::string recorded;
        if (!StartRow(dlg, r.row, path, &recorded)) {
            ok = false;
            continue;
        }
        if (recorded != path) {
            std::fprintf(
                stderr, "yra-capture: row %d: recording into %s%s\n", r.row, Printable(recorded).c_str(),
                recorded == path + ".ts" ? " (the file dialog adds .ts to a name without an extension)" : "");
        }
        started.push_back({r.row, recorded});
    }
    if (started.empty()) return false;

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // The dump filter writes in large blocks; what its device has delivered to it shows the
    // recording's progress between them.
    ProgressReporter progress(started, [](const RecordingFile& f) {
        uint64_t written = FileBytes(f.path);
        auto* dlg = static_cast<CYRA_HD_Capture_APDlg*>(AfxGetMainWnd());
        auto stats = dlg ? host::DeviceStreamStatsOf(dlg->GetDeviceFilter(f.row)) : std::nullopt;
        if (stats) written = std::max<uint64_t>(stats->bytesDelivered, written);
        return written;
    });
    while (progress.ElapsedSeconds() < options.durationSeconds && !g_interrupted && !AllEnded(started)) {
        if (!RecordingsHealthy(started)) ok = false;
        progress.Update();
        double left = options.durationSeconds - progress.ElapsedSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(0.2, std::max(left, 0.0))));
    }
    if (g_interrupted) std::fprintf(stderr, "\nyra-capture: interrupted; stopping\n");
    if (!RecordingsHealthy(started)) ok = false;
    for (const RecordingFile& f : started) StopRow(dlg, f.row);
    progress.Summary();
    for (const RecordingFile& f : started) {
        if (FileBytes(f.path) == 0) {
            std::fprintf(stderr, "yra-capture: row %d: nothing was written to %s\n", f.row,
                         Printable(f.path).c_str());
            ok = false;
        }
    }
    return ok;
}

bool RunActions(HWND dlg, const Options& options) {
    bool ok = true;
    if (options.list) ListRows(dlg);
    for (const SettingsRequest& s : options.settings)
        if (!ApplySettings(dlg, s)) ok = false;
    if (!options.records.empty() && !Record(dlg, options)) ok = false;
    return ok;
}

int Main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "yra-capture: %s\nTry 'yra-capture --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    host::ui::SelectDriver("headless");
    InstallMessageBoxPrinter();
    bool ran = false, ok = true;
    uitest::OnNextModal([&](HWND dlg) {
        ran = true;
        ok = RunActions(dlg, options);
        uitest::Close(dlg);
    });
    // The program sees no arguments of ours.
    char* programArgs[] = {argv[0], nullptr};
    AfxWinMain(1, programArgs);

    if (!ran) {
        std::fprintf(stderr, "yra-capture: the main dialog did not open\n");
        ok = false;
    }
    for (const std::string& surprise : uitest::Surprises()) {
        std::fprintf(stderr, "yra-capture: unexpected: %s\n", surprise.c_str());
        ok = false;
    }
    return ok && !ErrorBoxSeen() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    return tool_common::FinishStandardOutput("yra-capture", Main(argc, argv));
}
