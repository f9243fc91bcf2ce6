// The program's entry point: the one application object, and the choice of display. The dialogs
// are meant for a person, so without a display the program says how to go on instead of
// running unseen; YRA_UI=headless asks for that explicitly.
#include "YRA_HD_Capture_AP.h"

#include "host/ui_core.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

CYRA_HD_Capture_APApp theApp;

// Picks the driver before the first window; false (with the reason on stderr) when the program
// cannot be shown.
bool ChooseDisplay() {
    const char* choice = std::getenv("YRA_UI");
    std::string_view want = choice ? choice : "";
    if (want == "headless") return host::ui::SelectDriver("headless");
    if (!want.empty() && want != "qt") {
        std::fprintf(stderr, "YRA_HD_Capture_AP: YRA_UI=%s is not a display driver; use qt or headless\n",
                     choice);
        return false;
    }
    // Qt itself would abort without a display, or with one named that is not there; say what
    // to do instead.
    if (std::string problem = host::ui::DisplayProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "YRA_HD_Capture_AP: no display: set DISPLAY, or use yra-capture for headless "
                     "recording (%s)\n",
                     problem.c_str());
        return false;
    }
    if (!host::ui::SelectDriver("qt")) {
        std::fprintf(stderr, "YRA_HD_Capture_AP: the Qt display driver (libyraui_qt.so) could not be loaded; "
                             "use yra-capture for headless recording\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!ChooseDisplay()) return 2;
    return AfxWinMain(argc, argv);
}
