// The request/reply channel to the device's microcontroller, carried by two device properties:
// a set of DEV 0 posts a request, a get of DEV 2 fetches the answer.
#pragma once

#include "device_property_set.h"

constexpr BYTE MCU_CMD_GET_VERSION = 0x11;
constexpr BYTE MCU_CMD_GET_HDMI_RX_RESOLUTION = 0x60;
constexpr BYTE MCU_PARAM_NONE = 0xFF;

// Posts (command, parameter) to the MCU.
HRESULT McuSendRequest(IBaseFilter* pFilter, BYTE bCommand, BYTE bParameter);

// Fetches the MCU's answer into pReply. At most cbReply bytes are copied, whatever length the
// device reports; on failure the first two bytes of pReply (cbReply >= 2) are zeroed.
HRESULT McuReadReply(IBaseFilter* pFilter, BYTE bCommand, BYTE* pReply, DWORD cbReply);
