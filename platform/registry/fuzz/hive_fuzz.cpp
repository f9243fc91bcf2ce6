// libFuzzer entry point: the hive reader over arbitrary text, and the writer over whatever it
// accepted.
#include "hive_round_trip.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = host::reg::CheckHiveRoundTrip(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "hive round trip: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
