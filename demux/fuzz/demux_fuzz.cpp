// libFuzzer entry point: the parser and both deliveries over arbitrary input cut into
// arbitrary samples.
#include "fuzz_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t cbData) {
    return DemuxFuzzOne(pbData, cbData);
}
