// Whether Qt could open a display, asked without Qt: Qt would end the process instead of saying.
#include "host/ui_core.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(DisplayProblem, NamesWhyQtCouldNotOpenADisplay) {
    ScopedEnv platform("QT_QPA_PLATFORM", nullptr), x("DISPLAY", nullptr),
        wayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_EQ(host::ui::DisplayProblem(), "neither DISPLAY nor WAYLAND_DISPLAY is set");
    {
        ScopedEnv noServer("DISPLAY", ":1999");
        EXPECT_EQ(host::ui::DisplayProblem(), "cannot connect to the X server DISPLAY=:1999");
        ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
        EXPECT_EQ(host::ui::DisplayProblem(), "") << "a platform that needs no server";
    }
    {
        ScopedEnv noSocket("WAYLAND_DISPLAY", "/nonexistent/wayland-9");
        EXPECT_EQ(host::ui::DisplayProblem(), "cannot connect to the Wayland display /nonexistent/wayland-9");
        ScopedEnv xcb("QT_QPA_PLATFORM", "xcb");
        EXPECT_EQ(host::ui::DisplayProblem(), "neither DISPLAY nor WAYLAND_DISPLAY is set");
    }
}

// With a display named but not there, the automatic choice is the headless driver, and Qt
// cannot be selected, rather than Qt ending the process.
TEST(DisplayProblem, AMissingDisplayMeansHeadless) {
    ScopedEnv platform("QT_QPA_PLATFORM", nullptr), wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnv ui("YRA_UI", nullptr), x("DISPLAY", ":1999");
    host::ui::SetDriver(nullptr);
    EXPECT_STREQ(host::ui::CurrentDriver().Name(), "headless");
    EXPECT_FALSE(host::ui::SelectDriver("qt"));
    EXPECT_STREQ(host::ui::CurrentDriver().Name(), "headless");
}

} // namespace
