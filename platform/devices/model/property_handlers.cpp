// How the device answers each kind of property once the request has passed the checks.
#include "device_image.h"
#include "mcu_channel.h"
#include "property_dispatch.h"
#include "property_table.h"
#include "property_words.h"

#include <cstring>

namespace host {
namespace {

constexpr uint32_t REGISTER_CHIP_ID = 0x38;
// KSPROPERTY_VIDEOPROCAMP_S: Value, Flags and Capabilities after the 24-byte header.
constexpr ULONG VIDEOPROCAMP_VALUE = offsetof(KSPROPERTY_VIDEOPROCAMP_S, Value);
constexpr ULONG VIDEOPROCAMP_FLAGS = offsetof(KSPROPERTY_VIDEOPROCAMP_S, Flags);
constexpr ULONG VIDEOPROCAMP_CAPABILITIES = offsetof(KSPROPERTY_VIDEOPROCAMP_S, Capabilities);
constexpr uint32_t VIDEOPROCAMP_FLAGS_MANUAL = 2;
constexpr uint32_t POWER_LINE_HIGHEST_CODE = 2; // 0 outdoor, 1 50 Hz, 2 60 Hz

uint32_t ReadRegister(const DeviceImage& image, uint32_t address) {
    return address == REGISTER_CHIP_ID ? image.chipId : 0;
}

// A word of the encoder state that a node-4 property shows.
struct WordRef {
    ULONG id;
    ULONG offset;
};
constexpr WordRef kEncodeWidth{8, 0};
constexpr WordRef kEncodeHeight{8, 4};
constexpr WordRef kEncodeFrameRate{2, 64};
constexpr WordRef kBitRate{3, 20};
constexpr WordRef kGopSize{5, 36};

uint8_t* EncoderWord(DeviceImage& image, WordRef ref) {
    return StoredWords(image, PROPSETID_HDC_ENCODER, ref.id).data() + ref.offset;
}

HRESULT HandleWords(DeviceImage& image, const PropertyInfo& info, const PropertyRequest& request) {
    std::span<uint8_t> bytes = StoredWords(image, *info.set, info.id);
    if (bytes.size() < info.size) return E_UNEXPECTED;
    auto* data = static_cast<uint8_t*>(request.data);
    if (request.access == PropertyAccess::Get)
        std::memcpy(data, bytes.data(), info.size);
    else
        std::memcpy(bytes.data(), data, info.size);
    return S_OK;
}

HRESULT HandleRegisterRead(const DeviceImage& image, const PropertyRequest& request) {
    auto* data = static_cast<uint8_t*>(request.data);
    // The address comes with the request; callers pass one buffer as both request and data.
    uint32_t address = request.instance && request.instanceSize >= 4
                           ? ReadWord(static_cast<const uint8_t*>(request.instance), 0)
                           : ReadWord(data, 0);
    WriteWord(data, 0, address);
    WriteWord(data, 4, ReadRegister(image, address));
    return S_OK;
}

HRESULT HandleIdentification(DeviceImage& image, const PropertyRequest& request) {
    auto* data = static_cast<uint8_t*>(request.data);
    if (request.access == PropertyAccess::Set) {
        image.identificationAddress = ReadWord(data, 0);
        image.identificationCommand = ReadWord(data, 4);
        return S_OK;
    }
    WriteWord(data, 0, ReadRegister(image, image.identificationAddress));
    WriteWord(data, 4, image.identificationCommand);
    return S_OK;
}

HRESULT HandleNodeEncoder(DeviceImage& image, const PropertyRequest& request) {
    auto* data = static_cast<uint8_t*>(request.data);
    const bool set = request.access == PropertyAccess::Set;
    // Copies word 0 (and word 1 where the property has one) between the request and the state.
    auto transfer = [&](WordRef first, uint8_t* second) {
        uint8_t* word0 = EncoderWord(image, first);
        if (set) {
            std::memcpy(word0, data, 4);
            if (second) std::memcpy(second, data + 4, 4);
        } else {
            std::memcpy(data, word0, 4);
            if (second)
                std::memcpy(data + 4, second, 4);
            else
                WriteWord(data, 4, 0);
        }
    };
    switch (request.id) {
    case NODE4_PICTURE_SIZE:
        transfer(kEncodeWidth, EncoderWord(image, kEncodeHeight));
        return S_OK;
    case NODE4_FRAME_RATES:
        transfer(kEncodeFrameRate, reinterpret_cast<uint8_t*>(&image.mjpgFrameRate));
        return S_OK;
    case NODE4_BIT_RATE:
        transfer(kBitRate, nullptr);
        return S_OK;
    case NODE4_GOP_SIZE:
        transfer(kGopSize, nullptr);
        return S_OK;
    default:
        return E_PROP_ID_UNSUPPORTED;
    }
}

HRESULT HandlePowerLine(DeviceImage& image, const PropertyRequest& request) {
    auto* data = static_cast<uint8_t*>(request.data);
    uint8_t* value =
        StoredWords(image, PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY).data();
    if (request.access == PropertyAccess::Set) {
        uint32_t code = ReadWord(data, VIDEOPROCAMP_VALUE);
        if (code > POWER_LINE_HIGHEST_CODE) return E_INVALIDARG;
        WriteWord(value, 0, code);
        return S_OK;
    }
    std::memcpy(data + VIDEOPROCAMP_VALUE, value, 4);
    WriteWord(data, VIDEOPROCAMP_FLAGS, VIDEOPROCAMP_FLAGS_MANUAL);
    WriteWord(data, VIDEOPROCAMP_CAPABILITIES, VIDEOPROCAMP_FLAGS_MANUAL);
    return S_OK;
}

DWORD SupportNeeded(PropertyAccess access) {
    return access == PropertyAccess::Get ? KSPROPERTY_SUPPORT_GET : KSPROPERTY_SUPPORT_SET;
}

} // namespace

HRESULT DispatchProperty(DeviceImage& image, const McuOverrides& mcu, const PropertyRequest& request,
                         ULONG* bytesReturned) {
    const PropertySetInfo* setInfo = FindPropertySet(request.set);
    // A node's set answers only requests addressed to that node, and filter sets only plain ones.
    if (!setInfo || setInfo->node != request.node) return E_PROP_SET_UNSUPPORTED;
    const PropertyInfo* info = FindProperty(request.set, request.id);
    if (!info) return E_PROP_ID_UNSUPPORTED;

    if (request.access == PropertyAccess::QuerySupported) {
        if (request.dataSize < sizeof(DWORD)) {
            *bytesReturned = sizeof(DWORD);
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        if (!request.data) return E_POINTER;
        std::memcpy(request.data, &info->support, sizeof(DWORD));
        *bytesReturned = sizeof(DWORD);
        return S_OK;
    }

    if (!(info->support & SupportNeeded(request.access))) return E_PROP_ID_UNSUPPORTED;
    if (request.dataSize < info->size) {
        *bytesReturned = info->size;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    if (!request.data) return E_POINTER;

    HRESULT hr = E_UNEXPECTED;
    auto* data = static_cast<uint8_t*>(request.data);
    switch (info->kind) {
    case PropertyKind::Words:
        hr = HandleWords(image, *info, request);
        break;
    case PropertyKind::McuRequest:
        hr = PostMcuRequest(image, data);
        break;
    case PropertyKind::McuReply:
        ReplyToMcuRequest(image, mcu, data);
        hr = S_OK;
        break;
    case PropertyKind::RegisterRead:
        hr = HandleRegisterRead(image, request);
        break;
    case PropertyKind::Identification:
        hr = HandleIdentification(image, request);
        break;
    case PropertyKind::NodeEncoder:
        hr = HandleNodeEncoder(image, request);
        break;
    case PropertyKind::PowerLine:
        hr = HandlePowerLine(image, request);
        break;
    }
    if (SUCCEEDED(hr) && request.access == PropertyAccess::Get) *bytesReturned = info->size;
    return hr;
}

} // namespace host
