#include "mcu_channel.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD MCU_PROP_REQUEST = 0;
constexpr DWORD MCU_PROP_REPLY = 2;
constexpr BYTE MCU_PACKET_MARK = 0x78;
constexpr BYTE MCU_PACKET_REQUEST = 0x02;
constexpr BYTE MCU_PACKET_REPLY = 0x01;
constexpr DWORD MCU_REQUEST_SIZE = 74;
constexpr DWORD MCU_REPLY_SIZE = 83;
constexpr DWORD MCU_REPLY_LENGTH = 10; // byte offset of the data length
constexpr DWORD MCU_REPLY_DATA = 11;   // byte offset of the data
constexpr DWORD MCU_REPLY_DATA_MAX = MCU_REPLY_SIZE - MCU_REPLY_DATA;
constexpr BYTE MCU_REPLY_LENGTH_ASKED = 2;

} // namespace

HRESULT McuSendRequest(IBaseFilter* pFilter, BYTE bCommand, BYTE bParameter) {
    if (!pFilter) return E_INVALIDARG;
    BYTE abPacket[MCU_REQUEST_SIZE] = {};
    abPacket[0] = MCU_PACKET_MARK;
    abPacket[1] = MCU_PACKET_REQUEST;
    abPacket[2] = bCommand;
    abPacket[3] = bParameter;

    CDevicePropertySet device;
    HRESULT hr = device.Open(pFilter);
    if (FAILED(hr)) return hr;
    return device.Set(PROPSETID_HDC_DEVICE, MCU_PROP_REQUEST, abPacket, sizeof abPacket);
}

HRESULT McuReadReply(IBaseFilter* pFilter, BYTE bCommand, BYTE* pReply, DWORD cbReply) {
    if (!pFilter || !pReply) return E_INVALIDARG;
    BYTE abPacket[MCU_REPLY_SIZE] = {};

    CDevicePropertySet device;
    HRESULT hr = device.Open(pFilter);
    if (FAILED(hr)) return hr;
    abPacket[0] = MCU_PACKET_MARK;
    abPacket[1] = MCU_PACKET_REPLY;
    abPacket[2] = bCommand;
    abPacket[MCU_REPLY_LENGTH] = MCU_REPLY_LENGTH_ASKED;

    hr = device.Get(PROPSETID_HDC_DEVICE, MCU_PROP_REPLY, abPacket, sizeof abPacket);
    if (FAILED(hr)) {
        std::memset(pReply, 0, std::min<DWORD>(cbReply, 2));
        return hr;
    }
    // The device reports its own length; the copy never runs past the packet or the reply area.
    DWORD cbData = std::min<DWORD>({abPacket[MCU_REPLY_LENGTH], MCU_REPLY_DATA_MAX, cbReply});
    std::memcpy(pReply, abPacket + MCU_REPLY_DATA, cbData);
    return hr;
}
