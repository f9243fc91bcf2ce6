// The MCU's request/reply channel: a set of DEV 0 posts a request, a get of DEV 2 answers the
// last one posted. The last request is part of the device's state; the reply overrides are a
// model's test hooks.
#pragma once

#include "plat/types.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace host {

struct DeviceImage;

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

// Test overrides of the reply's data bytes and reported length.
struct McuOverrides {
    std::optional<std::vector<uint8_t>> replyData;
    std::optional<uint8_t> replyLength;
};

// Takes a request packet into the device; one without the mark and the request byte is refused.
HRESULT PostMcuRequest(DeviceImage& image, const uint8_t* packet);
// Writes the reply packet (MCU_REPLY_SIZE bytes) to the last request.
void ReplyToMcuRequest(const DeviceImage& image, const McuOverrides& overrides, uint8_t* packet);

} // namespace host
