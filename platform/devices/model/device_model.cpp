#include "host/device_model.h"

#include "device_state.h"
#include "device_store.h"
#include "property_dispatch.h"
#include "property_words.h"

#include <algorithm>

namespace host {
namespace {

uint32_t Clamp(uint32_t value, uint32_t low, uint32_t high) {
    return std::clamp(value, low, high);
}

uint32_t EncoderWord(const DeviceImage& image, ULONG id, ULONG offset) {
    std::span<const uint8_t> bytes = StoredWords(image, PROPSETID_HDC_ENCODER, id);
    return offset + 4 <= bytes.size() ? ReadWord(bytes.data(), offset) : 0;
}

EncoderSettings SettingsIn(const DeviceImage& image) {
    EncoderSettings s;
    // Even sizes within what the encoder chip handles; the device stores whatever it is sent.
    s.width = Clamp(EncoderWord(image, 8, 0), 16, 1920) & ~1u;
    s.height = Clamp(EncoderWord(image, 8, 4), 16, 1080) & ~1u;
    s.frameRate = Clamp(EncoderWord(image, 2, 64), 1, 60);
    s.bitRateKbps = Clamp(EncoderWord(image, 3, 20), 100, 30000);
    s.gopSize = Clamp(EncoderWord(image, 5, 36), 1, 300);
    s.audioOn = ((EncoderWord(image, 70, 0) >> 4) & 0xF) == 1;
    s.sampleRateHz = EncoderWord(image, 11, 8) == 0 ? 44100 : 48000;
    s.volume = std::min<uint32_t>(EncoderWord(image, 86, 0), 15);
    return s;
}

} // namespace

uint32_t PropertyCall::Word(size_t offset) const {
    return ReadWord(data, offset);
}

DeviceModel::DeviceModel(DeviceConfig config) : DeviceModel(config, NewLocalDeviceStore(config)) {}

DeviceModel::DeviceModel(DeviceConfig config, std::shared_ptr<DeviceStore> store)
    : m_state(std::make_unique<DeviceState>()), m_store(std::move(store)),
      m_plugCount(m_store->Image().plugCount.load()) {
    m_state->config = std::move(config);
}

DeviceModel::~DeviceModel() = default;

HRESULT DeviceModel::Handle(const PropertyRequest& request, ULONG* bytesReturned) {
    HRESULT hr = E_UNEXPECTED;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        PropertyCall call;
        call.set = request.set;
        call.id = request.id;
        call.access = request.access;
        call.flags = request.flags;
        call.node = request.node;
        call.instanceSize = request.instanceSize;
        call.dataSize = request.dataSize;
        if (const auto* instance = static_cast<const uint8_t*>(request.instance))
            call.instance.assign(instance, instance + request.instanceSize);
        const auto* data = static_cast<const uint8_t*>(request.data);
        if (request.access == PropertyAccess::Set && data) call.data.assign(data, data + request.dataSize);

        ULONG returned = 0;
        hr = Answer(request, &returned);
        if (request.access == PropertyAccess::Get && SUCCEEDED(hr) && data)
            call.data.assign(data, data + returned);

        call.result = hr;
        m_state->calls.push_back(std::move(call));
        if (bytesReturned) *bytesReturned = returned;
    }
    if (request.access == PropertyAccess::Set && SUCCEEDED(hr)) AnnounceSettings();
    return hr;
}

// With m_lock held: the refusals first, then the device itself.
HRESULT DeviceModel::Answer(const PropertyRequest& request, ULONG* bytesReturned) {
    if (IsLost()) return kDeviceNotConnected;
    auto refusal = m_state->refusals.find({{request.set, request.id}, request.access});
    if (refusal != m_state->refusals.end()) return refusal->second;
    std::lock_guard<DeviceStore> device(*m_store);
    DeviceImage& image = m_store->Image();
    const bool write = request.access == PropertyAccess::Set;
    if (write) image.writing = 1;
    HRESULT hr = DispatchProperty(image, m_state->mcu, request, bytesReturned);
    if (write) image.writing = 0;
    return hr;
}

void DeviceModel::AnnounceSettings() {
    SettingsListener listener;
    const EncoderSettings now = Settings();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_state->settingsListener || now == m_state->announcedSettings) return;
        m_state->announcedSettings = now;
        listener = m_state->settingsListener;
    }
    listener(*this);
}

bool DeviceModel::IsLost() const {
    const DeviceImage& image = m_store->Image();
    return image.plugged.load() == 0 || image.plugCount.load() != m_plugCount;
}

HRESULT DeviceModel::ClaimStream(StreamClaim* claim) {
    if (!claim) return E_POINTER;
    if (IsLost()) return kDeviceNotConnected;
    return m_store->ClaimStream(claim);
}

void DeviceModel::SetSettingsListener(SettingsListener listener) {
    const EncoderSettings now = Settings();
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->settingsListener = std::move(listener);
    m_state->announcedSettings = now;
}

EncoderSettings DeviceModel::Settings() const {
    std::lock_guard<DeviceStore> device(*m_store);
    return SettingsIn(m_store->Image());
}

std::u16string DeviceModel::Name() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state->config.name;
}

DeviceConfig DeviceModel::Config() const {
    DeviceConfig config;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        config = m_state->config;
    }
    std::lock_guard<DeviceStore> device(*m_store);
    const DeviceImage& image = m_store->Image();
    config.firmwareMajor = static_cast<uint8_t>(image.firmwareMajor);
    config.firmwareMinor = static_cast<uint8_t>(image.firmwareMinor);
    config.hdmiCode = static_cast<uint8_t>(image.hdmiCode);
    config.chipId = image.chipId;
    return config;
}

void DeviceModel::SetFirmwareVersion(uint8_t major, uint8_t minor) {
    std::lock_guard<DeviceStore> device(*m_store);
    m_store->Image().firmwareMajor = major;
    m_store->Image().firmwareMinor = minor;
}

void DeviceModel::SetHdmiCode(uint8_t code) {
    std::lock_guard<DeviceStore> device(*m_store);
    m_store->Image().hdmiCode = code;
}

std::vector<uint8_t> DeviceModel::Stored(REFGUID set, ULONG id) const {
    std::lock_guard<DeviceStore> device(*m_store);
    std::span<const uint8_t> bytes = StoredWords(m_store->Image(), set, id);
    return {bytes.begin(), bytes.end()};
}

uint32_t DeviceModel::StoredWord(REFGUID set, ULONG id, ULONG offset) const {
    return ReadWord(Stored(set, id), offset);
}

void DeviceModel::Store(REFGUID set, ULONG id, ULONG offset, uint32_t value) {
    std::lock_guard<DeviceStore> device(*m_store);
    std::span<uint8_t> bytes = StoredWords(m_store->Image(), set, id);
    if (offset + 4 > bytes.size()) return;
    WriteWord(bytes.data(), offset, value);
}

void DeviceModel::Refuse(REFGUID set, ULONG id, PropertyAccess access, HRESULT result) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->refusals[{{set, id}, access}] = result;
}

void DeviceModel::ClearRefusals() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->refusals.clear();
}

void DeviceModel::SetMcuReplyData(std::vector<uint8_t> data) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->mcu.replyData = std::move(data);
}

void DeviceModel::SetMcuReplyLength(uint8_t length) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->mcu.replyLength = length;
}

void DeviceModel::ClearMcuReplyOverride() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->mcu.replyData.reset();
    m_state->mcu.replyLength.reset();
}

void DeviceModel::FailQueryInterface(REFIID iid, HRESULT result) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->interfaceFaults[iid] = result;
}

void DeviceModel::ClearInterfaceFaults() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->interfaceFaults.clear();
}

HRESULT DeviceModel::InterfaceFault(REFIID iid) const {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_state->interfaceFaults.find(iid);
    return it == m_state->interfaceFaults.end() ? S_OK : it->second;
}

std::vector<PropertyCall> DeviceModel::Calls() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state->calls;
}

void DeviceModel::ClearCalls() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->calls.clear();
}

} // namespace host
