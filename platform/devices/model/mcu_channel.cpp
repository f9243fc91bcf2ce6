#include "mcu_channel.h"

#include "host/device_model.h"

#include <algorithm>
#include <cstring>

namespace host {
namespace {

std::vector<uint8_t> AnswerTo(uint8_t command, const DeviceConfig& config) {
    switch (command) {
    case MCU_CMD_GET_VERSION:
        return {config.firmwareMajor, config.firmwareMinor};
    case MCU_CMD_GET_HDMI_RX_RESOLUTION:
        return {0, config.hdmiCode}; // byte 0 is reserved
    default:
        return {}; // commands this firmware does not know get an empty answer
    }
}

} // namespace

HRESULT McuChannel::Post(const uint8_t* packet) {
    if (packet[0] != MCU_PACKET_MARK || packet[1] != MCU_PACKET_REQUEST) return E_INVALIDARG;
    m_command = packet[2];
    return S_OK;
}

void McuChannel::Reply(const DeviceConfig& config, uint8_t* packet) const {
    std::memset(packet, 0, MCU_REPLY_SIZE);
    packet[0] = MCU_PACKET_MARK;
    packet[1] = MCU_PACKET_REPLY;
    if (!m_command) return; // no request yet: an empty reply
    packet[2] = *m_command;

    std::vector<uint8_t> data = replyData ? *replyData : AnswerTo(*m_command, config);
    size_t copied = std::min<size_t>(data.size(), MCU_REPLY_DATA_MAX);
    if (copied) std::memcpy(packet + MCU_REPLY_DATA_OFFSET, data.data(), copied);
    packet[MCU_REPLY_LENGTH_OFFSET] = replyLength ? *replyLength : static_cast<uint8_t>(copied);
}

} // namespace host
