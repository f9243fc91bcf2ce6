// A fuzz target's committed seeds, replayed through its check in every build.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test_support {

// Runs check (the fuzz target's own: "" when the input is handled soundly, else what went
// wrong) over every file in dir; returns how many seeds there were.
template <typename Check>
size_t CheckEverySeed(const std::string& dir, Check check) {
    size_t seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << entry.path();
        ++seeds;
    }
    return seeds;
}

} // namespace test_support
