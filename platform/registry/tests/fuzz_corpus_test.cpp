// The hive fuzz target's committed seeds, through its round-trip check, in every build.
#include "platform/registry/fuzz/hive_round_trip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

TEST(HiveFuzzCorpus, EverySeedReadsOrIsRefusedAndRoundTrips) {
    size_t seeds = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(YRA_SOURCE_DIR "/platform/registry/fuzz/corpus")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(host::reg::CheckHiveRoundTrip(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  "")
            << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 5u);
}

} // namespace
