// Printing and answering the program's message boxes.
#include "message_log.h"

#include "host/ui_test.h"

#include <cstdio>
#include <string>

namespace capture_tool {
namespace {

bool g_errorSeen = false;

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
    std::fprintf(stderr, "yra-capture: %s box \"%s\": %s\n", IconName(box.icon()),
                 host::ui::Utf8(box.caption).c_str(), OneLine(box.text).c_str());
    if (box.icon() == MB_ICONERROR) g_errorSeen = true;
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
    return g_errorSeen;
}

} // namespace capture_tool
