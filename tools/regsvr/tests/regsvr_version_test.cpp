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
    const std::string demux = std::string(YRA_DEMUX_MODULE) +
                              ": file version 1.0.1.3, product version 1.0.1.3\n"
                              "  FileDescription: VEL DualFmt Demux\n";
    EXPECT_NE(run.output.find(demux), std::string::npos) << run.output;
    for (const char* text : {"  OLESelfRegister: AM20\n", "  OriginalFilename: VELDualFmtDemux.ax\n",
                             "  FileVersion: 1, 0, 1, 3\n", "  ProductVersion: 1, 0, 1, 3\n"})
        EXPECT_NE(run.output.find(text), std::string::npos) << text;
    const std::string video = std::string(YRA_VIDEO_PAGE_MODULE) +
                              ": file version 3.0.3.0, product version 3.0.3.0\n"
                              "  FileDescription: Video Control Property Page\n";
    EXPECT_NE(run.output.find(video), std::string::npos) << run.output;
    const std::string power = std::string(YRA_POWER_PAGE_MODULE) +
                              ": file version 3.0.3.0, product version 3.0.3.0\n"
                              "  FileDescription: Powerline Control Property Page\n";
    EXPECT_NE(run.output.find(power), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  FileVersion: 3, 0, 3, 0\n"), std::string::npos);
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
