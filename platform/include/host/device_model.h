// The firmware of the virtual capture device: the words behind every property of the device's
// property sets, the MCU request/reply channel, the register file, the topology-node properties
// and the power-line setting. It has no threads of its own; every call is answered at once under
// one lock, so the device filter's streaming thread may read the settings while the GUI writes.
//
// The state lives in a store: a model of its own (tests, the control filter) keeps it in the
// process; a listed device keeps it in a file under the host root that every process maps, so
// that all of them see one device (see host/device_presence.h). Each model object keeps its own
// call log and injected faults.
//
// Result conventions, those of a kernel-streaming driver behind its filter proxy:
//   unknown property set (or a node set asked without its node)  E_PROP_SET_UNSUPPORTED
//   unknown id in a known set, or a get of a set-only property     E_PROP_ID_UNSUPPORTED
//   a buffer smaller than the property HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER),
//                                                                 with the needed size as the bytes returned
//   a malformed value (an MCU request without its mark, ...)       E_INVALIDARG
// A larger buffer is accepted; only the property's own bytes are read or written.
#pragma once

#include "plat/ks.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct DeviceState;
class DeviceStore;

// What a lost device answers every call with: it was unplugged (or replugged since the caller
// opened it).
inline constexpr HRESULT kDeviceNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
// What a second client that tries to stream a device gets.
inline constexpr HRESULT kDeviceBusy = HRESULT_FROM_WIN32(ERROR_BUSY);

// The right to stream a device, held from leaving stopped until stopping; given up when
// destroyed (and by the system when its process dies).
class StreamClaim {
public:
    StreamClaim() = default;
    explicit StreamClaim(std::function<void()> release) : m_release(std::move(release)) {}
    StreamClaim(StreamClaim&& other) noexcept : m_release(std::exchange(other.m_release, {})) {}
    StreamClaim& operator=(StreamClaim&& other) noexcept {
        if (this != &other) {
            Release();
            m_release = std::exchange(other.m_release, {});
        }
        return *this;
    }
    ~StreamClaim() { Release(); }
    bool Held() const { return static_cast<bool>(m_release); }
    void Release() {
        if (auto release = std::exchange(m_release, {})) release();
    }

private:
    std::function<void()> m_release;
};

enum class PropertyAccess { Get, Set, QuerySupported };

// One property request as it reaches the device.
struct PropertyRequest {
    GUID set{};
    ULONG id = 0;
    PropertyAccess access = PropertyAccess::Get;
    ULONG flags = 0;           // the KSPROPERTY_TYPE_* flags the caller sent
    std::optional<ULONG> node; // the topology node of a node request
    const void* instance = nullptr;
    ULONG instanceSize = 0;
    void* data = nullptr; // property data; a DWORD of support flags for QuerySupported
    ULONG dataSize = 0;
};

// One logged request: what was asked, what was answered.
struct PropertyCall {
    GUID set{};
    ULONG id = 0;
    PropertyAccess access = PropertyAccess::Get;
    ULONG flags = 0;
    std::optional<ULONG> node;
    ULONG instanceSize = 0;
    ULONG dataSize = 0;
    // The instance data the caller sent.
    std::vector<uint8_t> instance;
    // A set: the bytes the caller sent. A successful get: the bytes the device returned.
    std::vector<uint8_t> data;
    HRESULT result = S_OK;

    // The little-endian word at a byte offset of `data`; 0 past its end.
    uint32_t Word(size_t offset) const;
};

// The encoder settings as the virtual encoder applies them, already brought into its ranges.
struct EncoderSettings {
    uint32_t width = 0;       // encoded picture, even, 16..1920
    uint32_t height = 0;      // encoded picture, even, 16..1080
    uint32_t frameRate = 0;   // frames per second, 1..60
    uint32_t bitRateKbps = 0; // 100..30000
    uint32_t gopSize = 0;     // frames between key frames, 1..300
    bool audioOn = false;
    uint32_t sampleRateHz = 0; // 44100 or 48000
    uint32_t volume = 0;       // 0..15

    bool operator==(const EncoderSettings&) const = default;
};

struct DeviceConfig {
    std::u16string name = u"YRA USB Device";
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 3;
    uint8_t hdmiCode = 22;     // 1920 x 1080 60P at the HDMI receiver
    uint32_t chipId = 0x10020; // what register 0x38 reads
};

// Power-on values the SDK's defaults describe: 1920 x 1080 progressive 60 in, 1920 x 1080 at 30
// out, 30000 kbps, audio on at 48 kHz, volume 10, power line 60 Hz.
class DeviceModel {
public:
    // Told, outside every lock, when a write through this model changed the encoder settings.
    using SettingsListener = std::function<void(const DeviceModel&)>;

    // A device of its own, powered on now.
    explicit DeviceModel(DeviceConfig config = {});
    // A device whose state is in `store` (already powered on and plugged in).
    DeviceModel(DeviceConfig config, std::shared_ptr<DeviceStore> store);
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;
    ~DeviceModel();

    // ---- the device side: every get, set and support query ends here
    HRESULT Handle(const PropertyRequest& request, ULONG* bytesReturned);

    // ---- what the virtual encoder, the device list and the tools read
    EncoderSettings Settings() const;
    std::u16string Name() const;
    DeviceConfig Config() const;
    void SetFirmwareVersion(uint8_t major, uint8_t minor);
    void SetHdmiCode(uint8_t code);

    // ---- direct access to the stored words, bypassing the log and the faults. Properties that
    // are views (node 4) or channels (MCU, register read) have no words of their own.
    std::vector<uint8_t> Stored(REFGUID set, ULONG id) const;
    uint32_t StoredWord(REFGUID set, ULONG id, ULONG offset) const;
    void Store(REFGUID set, ULONG id, ULONG offset, uint32_t value);

    // ---- the device as hardware
    // Unplugged, or plugged in again since this model was made: every property call then fails
    // with kDeviceNotConnected. Cheap and lock-free, for a streaming thread to poll.
    bool IsLost() const;
    // One client streams a device at a time: kDeviceBusy while another holds the claim.
    HRESULT ClaimStream(StreamClaim* claim);
    void SetSettingsListener(SettingsListener listener);

    // ---- fault injection
    // Answers every (set, id, access) request with `result` and touches nothing; a success code
    // is returned as given, so a test can make the device answer S_FALSE.
    void Refuse(REFGUID set, ULONG id, PropertyAccess access, HRESULT result);
    void ClearRefusals();
    // MCU replies carry these data bytes (at most 72 fit) instead of the command's answer ...
    void SetMcuReplyData(std::vector<uint8_t> data);
    // ... and report this data length, whatever the bytes.
    void SetMcuReplyLength(uint8_t length);
    void ClearMcuReplyOverride();
    // Queries for `iid` on the objects over this model fail with `result`.
    void FailQueryInterface(REFIID iid, HRESULT result = E_NOINTERFACE);
    void ClearInterfaceFaults();
    // S_OK when a query for `iid` may succeed, else the failure to answer.
    HRESULT InterfaceFault(REFIID iid) const;

    // ---- call log
    std::vector<PropertyCall> Calls() const;
    void ClearCalls();

private:
    HRESULT Answer(const PropertyRequest& request, ULONG* bytesReturned);
    void AnnounceSettings();

    mutable std::mutex m_lock; // this model's log and faults; taken before the store's lock
    std::unique_ptr<DeviceState> m_state;
    const std::shared_ptr<DeviceStore> m_store;
    const uint32_t m_plugCount; // the store's plug count when this model was made
};

} // namespace host
