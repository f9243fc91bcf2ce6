// The program's entry point on the platform itself: the one application object; the platform
// shows the dialogs, so there is no display to choose.
#include "YRA_HD_Capture_AP.h"

namespace {

CYRA_HD_Capture_APApp theApp;

} // namespace

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
