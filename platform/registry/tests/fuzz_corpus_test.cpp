// The hive fuzz target's committed seeds, through its round-trip check, in every build.
#include "platform/registry/fuzz/hive_round_trip.h"
#include "tests/support/corpus.h"

namespace {

TEST(HiveFuzzCorpus, EverySeedReadsOrIsRefusedAndRoundTrips) {
    EXPECT_GE(test_support::CheckEverySeed(YRA_SOURCE_DIR "/platform/registry/fuzz/corpus",
                                           host::reg::CheckHiveRoundTrip),
              5u);
}

} // namespace
