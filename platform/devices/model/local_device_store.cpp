// A device of its own: the state in the process, the streaming claim a flag.
#include "device_store.h"

#include <mutex>

namespace host {
namespace {

class LocalDeviceStore final : public DeviceStore, public std::enable_shared_from_this<LocalDeviceStore> {
public:
    explicit LocalDeviceStore(const DeviceConfig& config) : m_image(std::make_unique<DeviceImage>()) {
        PlugIn(*m_image, config, 0);
    }

    DeviceImage& Image() override { return *m_image; }
    void lock() override { m_lock.lock(); }
    void unlock() override { m_lock.unlock(); }

    HRESULT ClaimStream(StreamClaim* claim) override {
        std::lock_guard hold(m_lock);
        if (m_claimed) return kDeviceBusy;
        m_claimed = true;
        *claim = StreamClaim([self = shared_from_this()] {
            std::lock_guard hold(self->m_lock);
            self->m_claimed = false;
        });
        return S_OK;
    }

private:
    std::mutex m_lock;
    std::unique_ptr<DeviceImage> m_image;
    bool m_claimed = false;
};

} // namespace

std::shared_ptr<DeviceStore> NewLocalDeviceStore(const DeviceConfig& config) {
    return std::make_shared<LocalDeviceStore>(config);
}

} // namespace host
