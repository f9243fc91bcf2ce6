// libFuzzer entry point: the device-list parser over arbitrary text.
#include "device_list_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = host::CheckDeviceListParse(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "device list: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
