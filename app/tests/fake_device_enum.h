// A system device enumerator of the test's making: a list of devices with any friendly names,
// each over a device model behind a pinless control filter, with faults for the name and the
// binding, and a hook between the enumerator's passes (a device plugged in meanwhile).
#pragma once

#include "tests/support/class_override.h"

#include "host/device_model.h"
#include "plat/media.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FakeDevice {
    std::u16string name;
    std::shared_ptr<host::DeviceModel> model;
    IBaseFilter* filter = nullptr;   // one reference, held by the fake until it goes
    HRESULT storageResult = S_OK;    // BindToStorage's answer
    HRESULT bindResult = S_OK;       // BindToObject's answer
    long monikersAlive() const;      // this device's monikers not yet released
    std::shared_ptr<long> monikerCount = std::make_shared<long>(0);
};

class FakeDeviceEnumerator {
public:
    FakeDeviceEnumerator();
    ~FakeDeviceEnumerator();

    FakeDevice& Add(std::u16string name = u"YRA USB Device");
    std::vector<std::unique_ptr<FakeDevice>>& Devices() { return m_devices; }

    // Runs at each Reset of a class enumerator, with the number of resets so far (1, 2, ...).
    std::function<void(int)> onReset;
    // CreateClassEnumerator's answer; S_FALSE answers an empty category without an enumerator.
    HRESULT createResult = S_OK;
    int resets = 0;

private:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
    std::vector<std::unique_ptr<FakeDevice>> m_devices;
    ScopedClassOverride m_override;
};

// The reference count of an object, read without changing it.
ULONG RefCount(IUnknown* p);
