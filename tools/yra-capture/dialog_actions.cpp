// Driving the main dialog and the encode settings dialog headless.
#include "dialog_actions.h"

#include "file_names.h"
#include "message_log.h"

#include "YRA_HD_Capture_APDlg.h"

#include "host/ui_test.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace capture_tool {
namespace {

namespace uitest = host::ui::test;
using host::ui::Utf8;

const char* State(HWND button) {
    return uitest::Enabled(button) ? "enabled" : "disabled";
}

int RowCount(HWND dlg) {
    int n = 0;
    while (uitest::Item(dlg, IDC_DEVICE_LABEL_BASE + n)) ++n;
    return n;
}

bool RowExists(HWND dlg, int row) {
    if (uitest::Item(dlg, IDC_DEVICE_LABEL_BASE + row)) return true;
    std::fprintf(stderr, "yra-capture: there is no row %d: the dialog shows %d row%s\n", row, RowCount(dlg),
                 RowCount(dlg) == 1 ? "" : "s");
    return false;
}

// Item texts and values compare without case, blanks, '_' and the units the lists show.
std::string Normalise(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '_') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* unit : {"kbps", "khz"}) {
        std::string u = unit;
        if (out.size() > u.size() && out.compare(out.size() - u.size(), u.size(), u) == 0)
            out.resize(out.size() - u.size());
    }
    return out;
}

bool ChooseItem(HWND settings, int id, const std::string& key, const std::string& value) {
    HWND combo = uitest::Item(settings, id);
    std::vector<std::u16string> items = uitest::Items(combo);
    std::string wanted = Normalise(value);
    for (size_t i = 0; i < items.size(); ++i) {
        if (Normalise(Utf8(items[i])) == wanted) return uitest::Select(combo, static_cast<int>(i));
    }
    std::string offered;
    for (const auto& item : items) offered += (offered.empty() ? "" : ", ") + Normalise(Utf8(item));
    std::fprintf(stderr, "yra-capture: %s=%s is not offered; choose one of: %s\n", key.c_str(), value.c_str(),
                 offered.c_str());
    return false;
}

bool SetCheck(HWND settings, const std::string& value) {
    std::string v = Normalise(value);
    bool on;
    if (v == "on" || v == "1" || v == "yes" || v == "true")
        on = true;
    else if (v == "off" || v == "0" || v == "no" || v == "false")
        on = false;
    else {
        std::fprintf(stderr, "yra-capture: audio=%s: say on or off\n", value.c_str());
        return false;
    }
    HWND box = uitest::Item(settings, IDC_CHECK_AUDIO_ENABLE);
    if ((uitest::Check(box) == BST_CHECKED) != on) return uitest::Click(box);
    return true;
}

std::string Chosen(HWND settings, int id) {
    HWND combo = uitest::Item(settings, id);
    int sel = uitest::Selection(combo);
    if (sel < 0) return "(none)";
    std::string text = Utf8(uitest::Items(combo)[static_cast<size_t>(sel)]);
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? text : text.substr(first);
}

void PrintSettings(HWND settings, int row) {
    std::string mcu = Utf8(uitest::Text(uitest::Item(settings, IDC_STATIC_MCU_VERSION)));
    while (!mcu.empty() && mcu.back() == '\n') mcu.pop_back();
    std::printf("row %d: %s; audio %s; sample rate %s; volume %s; input %s; encode %s; bit rate %s\n", row,
                mcu.c_str(),
                uitest::Check(uitest::Item(settings, IDC_CHECK_AUDIO_ENABLE)) == BST_CHECKED ? "on" : "off",
                Chosen(settings, IDC_COMBO_SAMPLE_RATE).c_str(), Chosen(settings, IDC_COMBO_VOLUME).c_str(),
                Chosen(settings, IDC_COMBO_INPUT_RESOLUTION).c_str(),
                Chosen(settings, IDC_COMBO_ENCODE_RESOLUTION).c_str(),
                Chosen(settings, IDC_COMBO_ENCODE_BITRATE).c_str());
    std::fflush(stdout);
}

bool ApplyValue(HWND settings, const std::string& key, const std::string& value) {
    if (key == "audio") return SetCheck(settings, value);
    if (key == "rate") return ChooseItem(settings, IDC_COMBO_SAMPLE_RATE, key, value);
    if (key == "volume") return ChooseItem(settings, IDC_COMBO_VOLUME, key, value);
    if (key == "input") return ChooseItem(settings, IDC_COMBO_INPUT_RESOLUTION, key, value);
    if (key == "encode") return ChooseItem(settings, IDC_COMBO_ENCODE_RESOLUTION, key, value);
    if (key == "bitrate") return ChooseItem(settings, IDC_COMBO_ENCODE_BITRATE, key, value);
    std::fprintf(stderr, "yra-capture: unknown setting %s (audio, rate, volume, input, encode, bitrate)\n",
                 key.c_str());
    return false;
}

} // namespace

void ListRows(HWND dlg) {
    std::printf("%s\n", Utf8(uitest::Text(dlg)).c_str());
    int rows = RowCount(dlg);
    if (rows == 0) std::printf("no rows\n");
    for (int row = 0; row < rows; ++row) {
        std::printf("row %d: %s  Set %s  Start %s  Stop %s\n", row,
                    Utf8(uitest::Text(uitest::Item(dlg, IDC_DEVICE_LABEL_BASE + row))).c_str(),
                    State(uitest::Item(dlg, IDC_SET_BASE + row)), State(uitest::Item(dlg, IDC_START_BASE + row)),
                    State(uitest::Item(dlg, IDC_STOP_BASE + row)));
    }
    std::fflush(stdout);
}

bool ApplySettings(HWND dlg, const SettingsRequest& request) {
    if (!RowExists(dlg, request.row)) return false;
    HWND setButton = uitest::Item(dlg, IDC_SET_BASE + request.row);
    if (!uitest::Enabled(setButton)) {
        std::fprintf(stderr, "yra-capture: row %d: Set is disabled\n", request.row);
        return false;
    }
    // The input decides which encode resolutions are offered, so it goes first.
    auto values = request.values;
    std::stable_sort(values.begin(), values.end(),
                     [](const auto& a, const auto& b) { return a.first == "input" && b.first != "input"; });
    bool ok = true, opened = false;
    const int boxesBefore = BoxesShown();
    uitest::OnNextModal([&](HWND settings) {
        opened = true;
        for (const auto& [key, value] : values) {
            if (!ApplyValue(settings, key, value)) ok = false;
        }
        if (!ok) {
            uitest::Click(settings, IDCANCEL);
            return;
        }
        PrintSettings(settings, request.row);
        uitest::Click(settings, IDOK);
        // OK leaves the dialog open when the input resolution is not one it can write; the
        // box it raised says why.
        if (!host::ui::IsModalEnded(settings)) {
            ok = false;
            const std::string why = BoxesShown() > boxesBefore ? " (\"" + LastBoxText() + "\")" : "";
            std::fprintf(
                stderr, "yra-capture: row %d: the encode settings dialog refused OK%s; nothing was written\n",
                request.row, why.c_str());
            uitest::Click(settings, IDCANCEL);
        }
    });
    uitest::Click(setButton);
    if (!opened) {
        std::fprintf(stderr, "yra-capture: row %d: the encode settings dialog did not open\n", request.row);
        return false;
    }
    return ok;
}

namespace {

// The file the row's dump filter was given, as the program named it after the file dialog.
std::string RecordedFile(int row) {
    auto* main = static_cast<CYRA_HD_Capture_APDlg*>(AfxGetMainWnd());
    const DeviceGraph* graph = main ? main->GetDeviceGraph(row) : nullptr;
    if (!graph || !graph->pDump) return {};
    IFileSinkFilter* sink = nullptr;
    if (FAILED(graph->pDump->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&sink))) || !sink)
        return {};
    LPOLESTR name = nullptr;
    std::string path;
    if (SUCCEEDED(sink->GetCurFile(&name, nullptr)) && name) path = Utf8(name);
    CoTaskMemFree(name);
    sink->Release();
    return path;
}

} // namespace

bool StartRow(HWND dlg, int row, const std::string& path, std::string* recorded) {
    if (!RowExists(dlg, row)) return false;
    HWND start = uitest::Item(dlg, IDC_START_BASE + row);
    if (!uitest::Enabled(start)) {
        std::fprintf(stderr, "yra-capture: row %d: Start is disabled\n", row);
        return false;
    }
    const int errorsBefore = ErrorBoxesShown();
    uitest::AnswerFileDialog(host::ui::Utf16(path));
    uitest::Click(start);
    const bool recording = uitest::Enabled(uitest::Item(dlg, IDC_STOP_BASE + row));
    // The program leaves a row whose graph failed to run as if it recorded; it does not.
    if (recording && ErrorBoxesShown() == errorsBefore) {
        *recorded = RecordedFile(row);
        if (recorded->empty()) *recorded = path;
        return true;
    }
    if (recording) StopRow(dlg, row);
    std::fprintf(stderr, "yra-capture: row %d: recording to %s did not start\n", row,
                 Printable(path).c_str());
    return false;
}

bool StopRow(HWND dlg, int row) {
    HWND stop = uitest::Item(dlg, IDC_STOP_BASE + row);
    if (!stop || !uitest::Enabled(stop)) return false;
    return uitest::Click(stop);
}

} // namespace capture_tool
