// A device model behind a control filter, with both property interfaces held.
#pragma once

#include "host/device_ks.h"

#include <gtest/gtest.h>

#include <vector>

namespace device_testing {

using host::DeviceConfig;
using host::DeviceModel;

struct ModelDevice {
    explicit ModelDevice(DeviceConfig config = {}) : model(std::make_shared<DeviceModel>(std::move(config))) {
        EXPECT_EQ(host::CreateDeviceControlFilter(model, &filter), S_OK);
        EXPECT_EQ(filter->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&props)), S_OK);
        EXPECT_EQ(filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(&control)), S_OK);
    }
    ~ModelDevice() {
        SafeRelease(control);
        SafeRelease(props);
        EXPECT_EQ(filter->Release(), 0u);
    }
    ModelDevice(const ModelDevice&) = delete;
    ModelDevice& operator=(const ModelDevice&) = delete;

    // Gets a property into a buffer of `size` bytes used as instance and data, as the SDK does.
    HRESULT Get(REFGUID set, ULONG id, std::vector<uint8_t>& buffer, DWORD* returned = nullptr) {
        DWORD got = 0;
        HRESULT hr = props->Get(set, id, buffer.data(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                static_cast<DWORD>(buffer.size()), &got);
        if (returned) *returned = got;
        return hr;
    }
    HRESULT Set(REFGUID set, ULONG id, std::vector<uint8_t>& buffer) {
        return props->Set(set, id, buffer.data(), static_cast<DWORD>(buffer.size()), buffer.data(),
                          static_cast<DWORD>(buffer.size()));
    }
    // A node request through IKsControl with a two-word buffer.
    HRESULT Node(REFGUID set, ULONG id, ULONG node, ULONG flags, int32_t words[2]) {
        KSP_NODE request{{set, id, flags | KSPROPERTY_TYPE_TOPOLOGY}, node, 0};
        ULONG returned = 0;
        return control->KsProperty(&request.Property, sizeof request, words, 2 * sizeof(int32_t), &returned);
    }

    std::shared_ptr<DeviceModel> model;
    IBaseFilter* filter = nullptr;
    IKsPropertySet* props = nullptr;
    IKsControl* control = nullptr;
};

inline uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}
inline void PutWord(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

} // namespace device_testing
