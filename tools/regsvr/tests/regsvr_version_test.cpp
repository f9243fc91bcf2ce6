// yra-regsvr --version: every plug-in's version record, numbers and text, read the same way
// through the host's resource calls.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using e2e::Quote;

struct ToolRun {
    int status = -1;
    std::string output; // standard output and error together
};

ToolRun RunTool(const std::string& arguments) {
    e2e::CommandResult r = e2e::RunCommand(std::string(YRA_REGSVR) + " " + arguments);
    return {r.status, r.out + r.err};
}

TEST(RegsvrVersion, ShowsEveryPluginsNumbersAndText) {
    ToolRun run = RunTool("--version " + Quote(YRA_DEMUX_MODULE) + " " + Quote(YRA_VIDEO_PAGE_MODULE) + " " +
                          Quote(YRA_POWER_PAGE_MODULE));
    ASSERT_EQ(run.status, 0) << run.output;
    const struct {
        const char *module, *version, *description;
    } plugins[] = {{YRA_DEMUX_MODULE, "1.0.1.3", "VEL DualFmt Demux"},
                   {YRA_VIDEO_PAGE_MODULE, "3.0.3.0", "Video Control Property Page"},
                   {YRA_POWER_PAGE_MODULE, "3.0.3.0", "Powerline Control Property Page"}};
    for (const auto& p : plugins) {
        const std::string record = std::string(p.module) + ": file version " + p.version +
                                   ", product version " + p.version +
                                   "\n  FileDescription: " + p.description + "\n";
        EXPECT_NE(run.output.find(record), std::string::npos) << run.output;
    }
    for (const char* text :
         {"  OLESelfRegister: AM20\n", "  OriginalFilename: VELDualFmtDemux.ax\n",
          "  FileVersion: 1, 0, 1, 3\n", "  ProductVersion: 1, 0, 1, 3\n", "  FileVersion: 3, 0, 3, 0\n"})
        EXPECT_NE(run.output.find(text), std::string::npos) << text;
    EXPECT_EQ(run.output.find("succeeded"), std::string::npos) << "nothing is registered";
}

TEST(RegsvrVersion, AModuleWithoutARecordOrThatCannotBeOpenedFails) {
    ToolRun none = RunTool("--version " + Quote(YRA_HOST_LIBRARY));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("has no version record"), std::string::npos) << none.output;
    ToolRun missing = RunTool("--version /nonexistent/module.so");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open /nonexistent/module.so"), std::string::npos) << missing.output;
}

} // namespace
