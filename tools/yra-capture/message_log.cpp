// Printing and answering the program's message boxes.
#include "message_log.h"

#include "host/ui_test.h"
#include "result_words.h"

#include <cstdio>
#include <string>

namespace capture_tool {
namespace {

int g_boxes = 0;
int g_errorBoxes = 0;
std::string g_lastText;

const char* IconName(UINT icon) {
    switch (icon) {
    case MB_ICONERROR:
        return "error";
    case MB_ICONWARNING:
        return "warning";
    case MB_ICONQUESTION:
        return "question";
    case MB_ICONINFORMATION:
        return "information";
    default:
        return "message";
    }
}

// One line per box: the program's texts end in a newline and some hold more lines.
std::string OneLine(const std::u16string& text) {
    std::string s = host::ui::Utf8(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    std::string out;
    for (char c : s) out += c == '\n' ? std::string(" / ") : std::string(1, c);
    return out;
}

int Answer(const host::ui::MessageBoxRecord& box) {
    const std::string text = OneLine(box.text);
    const std::string words = ExplainResultIn(text);
    std::fprintf(stderr, "yra-capture: %s box \"%s\": %s%s%s\n", IconName(box.icon()),
                 host::ui::Utf8(box.caption).c_str(), text.c_str(), words.empty() ? "" : " ", words.c_str());
    ++g_boxes;
    if (box.icon() == MB_ICONERROR) ++g_errorBoxes;
    g_lastText = text;
    std::vector<int> buttons = box.buttons();
    for (int preferred : {IDOK, IDYES})
        for (int b : buttons)
            if (b == preferred) return b;
    return box.defaultButton();
}

} // namespace

void InstallMessageBoxPrinter() {
    host::ui::test::SetMessageBoxHandler(&Answer);
}

bool ErrorBoxSeen() {
    return g_errorBoxes > 0;
}

int BoxesShown() {
    return g_boxes;
}

int ErrorBoxesShown() {
    return g_errorBoxes;
}

std::string LastBoxText() {
    return g_lastText;
}

} // namespace capture_tool
