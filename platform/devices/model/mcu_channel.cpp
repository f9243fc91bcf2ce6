#include "mcu_channel.h"

#include "device_image.h"

#include <algorithm>
#include <cstring>

namespace host {
namespace {

std::vector<uint8_t> AnswerTo(uint8_t command, const DeviceImage& image) {
    switch (command) {
    case MCU_CMD_GET_VERSION:
        return {static_cast<uint8_t>(image.firmwareMajor), static_cast<uint8_t>(image.firmwareMinor)};
    case MCU_CMD_GET_HDMI_RX_RESOLUTION:
        return {0, static_cast<uint8_t>(image.hdmiCode)}; // byte 0 is reserved
    default:
        return {}; // commands this firmware does not know get an empty answer
    }
}

} // namespace

HRESULT PostMcuRequest(DeviceImage& image, const uint8_t* packet) {
    if (packet[0] != MCU_PACKET_MARK || packet[1] != MCU_PACKET_REQUEST) return E_INVALIDARG;
    image.mcuCommand = packet[2];
    return S_OK;
}

void ReplyToMcuRequest(const DeviceImage& image, const McuOverrides& overrides, uint8_t* packet) {
    std::memset(packet, 0, MCU_REPLY_SIZE);
    packet[0] = MCU_PACKET_MARK;
    packet[1] = MCU_PACKET_REPLY;
    if (image.mcuCommand < 0) return; // no request yet: an empty reply
    const auto command = static_cast<uint8_t>(image.mcuCommand);
    packet[2] = command;

    std::vector<uint8_t> data = overrides.replyData ? *overrides.replyData : AnswerTo(command, image);
    size_t copied = std::min<size_t>(data.size(), MCU_REPLY_DATA_MAX);
    if (copied) std::memcpy(packet + MCU_REPLY_DATA_OFFSET, data.data(), copied);
    packet[MCU_REPLY_LENGTH_OFFSET] =
        overrides.replyLength ? *overrides.replyLength : static_cast<uint8_t>(copied);
}

} // namespace host
