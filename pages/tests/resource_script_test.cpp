// Each page module's resource script (the Windows build) and its resource table (the host)
// describe the same page template and title.
#include "plat/kernel.h"

#include "host/ui_test.h"
#include "tests/support/rc_script.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

struct Module {
    const char* path;
    const char* script;
};

class PageResourceScript : public ::testing::TestWithParam<Module> {};

TEST_P(PageResourceScript, MatchesTheModulesResourceTable) {
    if (testing_support::ResourceCompiler().empty())
        GTEST_SKIP() << "the mingw-w64 resource compiler is not installed";
    void* module = dlopen(GetParam().path, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    HMODULE hModule = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCWSTR>(dlsym(module, "DllGetClassObject")), &hModule));
    const RESOURCETABLE* table = host::ui::test::ModuleResources(hModule);
    ASSERT_NE(table, nullptr);
    const auto diffs = testing_support::CompareResourceScript(std::string(YRA_SOURCE_DIR) + GetParam().script,
                                                              {YRA_SOURCE_DIR}, *table);
    EXPECT_TRUE(diffs.empty()) << ::testing::PrintToString(diffs);
    dlclose(module);
}

INSTANTIATE_TEST_SUITE_P(BothPages, PageResourceScript,
                         ::testing::Values(Module{YRA_VIDEO_PAGE_MODULE, "/pages/video/MxVideoCtrlPlugin.rc"},
                                           Module{YRA_POWER_PAGE_MODULE, "/pages/power/MxPowerPlugin.rc"}));

} // namespace
