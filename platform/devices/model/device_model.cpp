#include "host/device_model.h"

#include "device_state.h"
#include "property_words.h"

#include <algorithm>

namespace host {
namespace {

uint32_t Clamp(uint32_t value, uint32_t low, uint32_t high) {
    return std::clamp(value, low, high);
}

uint32_t EncoderWord(const PropertyStore& store, ULONG id, ULONG offset) {
    auto it = store.find({PROPSETID_HDC_ENCODER, id});
    return it == store.end() ? 0 : ReadWord(it->second, offset);
}

} // namespace

uint32_t PropertyCall::Word(size_t offset) const {
    return ReadWord(data, offset);
}

DeviceModel::DeviceModel(DeviceConfig config) : m_state(std::make_unique<DeviceState>()) {
    m_state->config = std::move(config);
    m_state->store = PowerOnStore();
}

DeviceModel::~DeviceModel() = default;

HRESULT DeviceModel::Handle(const PropertyRequest& request, ULONG* bytesReturned) {
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
    auto refusal = m_state->refusals.find({{request.set, request.id}, request.access});
    HRESULT hr = refusal != m_state->refusals.end() ? refusal->second : Dispatch(request, &returned);
    if (request.access == PropertyAccess::Get && SUCCEEDED(hr) && data)
        call.data.assign(data, data + returned);

    call.result = hr;
    m_state->calls.push_back(std::move(call));
    if (bytesReturned) *bytesReturned = returned;
    return hr;
}

EncoderSettings DeviceModel::Settings() const {
    std::lock_guard<std::mutex> hold(m_lock);
    const PropertyStore& store = m_state->store;
    EncoderSettings s;
    // Even sizes within what the encoder chip handles; the device stores whatever it is sent.
    s.width = Clamp(EncoderWord(store, 8, 0), 16, 1920) & ~1u;
    s.height = Clamp(EncoderWord(store, 8, 4), 16, 1080) & ~1u;
    s.frameRate = Clamp(EncoderWord(store, 2, 64), 1, 60);
    s.bitRateKbps = Clamp(EncoderWord(store, 3, 20), 100, 30000);
    s.gopSize = Clamp(EncoderWord(store, 5, 36), 1, 300);
    s.audioOn = ((EncoderWord(store, 70, 0) >> 4) & 0xF) == 1;
    s.sampleRateHz = EncoderWord(store, 11, 8) == 0 ? 44100 : 48000;
    s.volume = std::min<uint32_t>(EncoderWord(store, 86, 0), 15);
    return s;
}

std::u16string DeviceModel::Name() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state->config.name;
}

DeviceConfig DeviceModel::Config() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state->config;
}

void DeviceModel::SetFirmwareVersion(uint8_t major, uint8_t minor) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->config.firmwareMajor = major;
    m_state->config.firmwareMinor = minor;
}

void DeviceModel::SetHdmiCode(uint8_t code) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state->config.hdmiCode = code;
}

std::vector<uint8_t> DeviceModel::Stored(REFGUID set, ULONG id) const {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_state->store.find({set, id});
    return it == m_state->store.end() ? std::vector<uint8_t>{} : it->second;
}

uint32_t DeviceModel::StoredWord(REFGUID set, ULONG id, ULONG offset) const {
    return ReadWord(Stored(set, id), offset);
}

void DeviceModel::Store(REFGUID set, ULONG id, ULONG offset, uint32_t value) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_state->store.find({set, id});
    if (it == m_state->store.end() || offset + 4 > it->second.size()) return;
    WriteWord(it->second.data(), offset, value);
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
