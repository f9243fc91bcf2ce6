// The program's resource script (the Windows build) and its resource table (the host) describe
// the same dialogs, strings and icon.
#include "host/ui_test.h"
#include "tests/support/rc_script.h"

#include <gtest/gtest.h>

namespace {

TEST(ResourceScript, MatchesTheProgramsResourceTable) {
    if (testing_support::ResourceCompiler().empty())
        GTEST_SKIP() << "the mingw-w64 resource compiler is not installed";
    const RESOURCETABLE* table = host::ui::test::ModuleResources(GetModuleHandleW(nullptr));
    ASSERT_NE(table, nullptr);
    const std::string app = std::string(YRA_SOURCE_DIR) + "/app";
    const auto diffs = testing_support::CompareResourceScript(
        app + "/YRA_HD_Capture_AP.rc",
        {app, app + "/res", std::string(YRA_SOURCE_DIR) + "/platform/ui/appfw/include"}, *table);
    EXPECT_TRUE(diffs.empty()) << ::testing::PrintToString(diffs);
}

} // namespace
