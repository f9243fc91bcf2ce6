// The MCU's request/reply channel: a set of DEV 0 posts a request, a get of DEV 2 answers the
// last one posted.
#pragma once

#include "plat/types.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace host {

struct DeviceConfig;

constexpr uint8_t MCU_PACKET_MARK = 0x78;
constexpr uint8_t MCU_PACKET_REQUEST = 0x02;
constexpr uint8_t MCU_PACKET_REPLY = 0x01;
constexpr uint8_t MCU_CMD_GET_VERSION = 0x11;
constexpr uint8_t MCU_CMD_GET_HDMI_RX_RESOLUTION = 0x60;
constexpr ULONG MCU_REQUEST_SIZE = 74;
constexpr ULONG MCU_REPLY_SIZE = 83;
constexpr ULONG MCU_REPLY_LENGTH_OFFSET = 10;
constexpr ULONG MCU_REPLY_DATA_OFFSET = 11;
constexpr ULONG MCU_REPLY_DATA_MAX = MCU_REPLY_SIZE - MCU_REPLY_DATA_OFFSET; // 72

class McuChannel {
public:
    // Takes a request packet; one without the mark and the request byte is refused.
    HRESULT Post(const uint8_t* packet);
    // Writes the reply packet (MCU_REPLY_SIZE bytes) to the last request.
    void Reply(const DeviceConfig& config, uint8_t* packet) const;

    // Test overrides of the reply's data bytes and reported length.
    std::optional<std::vector<uint8_t>> replyData;
    std::optional<uint8_t> replyLength;

private:
    std::optional<uint8_t> m_command; // nothing posted yet
};

} // namespace host
