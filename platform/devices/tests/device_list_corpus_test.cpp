// The device-list fuzz target's committed seeds, through its check, in every build.
#include "platform/devices/enumerator/fuzz/device_list_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

TEST(DeviceListFuzzCorpus, EverySeedParsesIntoOrderedSafeReports) {
    size_t seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(YRA_DEVICE_LIST_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(host::CheckDeviceListParse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  "")
            << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 3u);
}

} // namespace
