// Gives one test its own empty host root below the one the test runner assigned, so tests of
// one executable that run at the same time never share a registry.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace testing_support {

class ScopedHostRoot {
public:
    ScopedHostRoot() {
        const char* base = std::getenv("YRA_HOST_ROOT");
        if (base) m_saved = base;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "root";
        m_path = (base ? std::string(base) : std::filesystem::temp_directory_path().string()) + "/" + name + "." +
                 std::to_string(::getpid()) + "." + std::to_string(s_count++);
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
        ::setenv("YRA_HOST_ROOT", m_path.c_str(), 1);
    }
    ~ScopedHostRoot() {
        if (m_saved.empty()) ::unsetenv("YRA_HOST_ROOT");
        else ::setenv("YRA_HOST_ROOT", m_saved.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string Registry() const { return m_path + "/registry"; }

private:
    static inline int s_count = 0;
    std::string m_saved;
    std::string m_path;
};

} // namespace testing_support
