// The program itself, started as a user would: without a display it says what to do.
#include "e2e_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;

std::string Program() {
    return e2e::Quote(std::string(YRA_BUILD_DIR) + "/bin/YRA_HD_Capture_AP");
}

TEST(Program, WithoutADisplayItSaysWhatToDo) {
    for (const char* ui : {"", "YRA_UI=qt"}) {
        SCOPED_TRACE(ui);
        auto r = e2e::RunCommand(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u YRA_UI ") + ui +
                                 " " + Program());
        EXPECT_EQ(r.status, 2);
        EXPECT_THAT(r.err, HasSubstr("no display: set DISPLAY, or use yra-capture for headless recording"));
    }
}

// A display that is named but not there: Qt would end the process; the program says why.
TEST(Program, WithADisplayThatIsNotThereItSaysSo) {
    for (const char* ui : {"", "YRA_UI=qt"}) {
        SCOPED_TRACE(ui);
        auto r = e2e::RunCommand(
            std::string("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u YRA_UI DISPLAY=:1999 ") + ui + " " +
            Program());
        EXPECT_EQ(r.status, 2);
        EXPECT_THAT(r.err,
                    HasSubstr("no display: set DISPLAY, or use yra-capture for headless recording (cannot "
                              "connect to the X server DISPLAY=:1999)"));
    }
}

TEST(Program, HeadlessWhenAskedForItRunsUnseenAndEnds) {
    e2e::WriteDeviceList({"Other Device"});
    auto r = e2e::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY YRA_UI=headless " + Program());
    EXPECT_EQ(r.status, 0) << r.err;
}

} // namespace
