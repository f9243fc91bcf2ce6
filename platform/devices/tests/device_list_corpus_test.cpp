// The device-list fuzz target's committed seeds, through its check, in every build.
#include "platform/devices/enumerator/fuzz/device_list_check.h"
#include "tests/support/corpus.h"

namespace {

TEST(DeviceListFuzzCorpus, EverySeedParsesIntoOrderedSafeReports) {
    EXPECT_GE(test_support::CheckEverySeed(YRA_SOURCE_DIR "/platform/devices/enumerator/fuzz/corpus",
                                           host::CheckDeviceListParse),
              3u);
}

} // namespace
