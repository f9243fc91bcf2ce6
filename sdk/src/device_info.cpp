// Facts about the SDK and the device: version numbers and the HDMI input's resolution code.
#include "mcu_channel.h"

namespace {

constexpr int SDK_VERSION = 20150303;
constexpr DWORD MCU_REPLY_AREA = 8;

// Asks the MCU one question and returns its reply data.
HRESULT AskMcu(IBaseFilter* pFilter, BYTE bCommand, BYTE (&abReply)[MCU_REPLY_AREA]) {
    HRESULT hr = McuSendRequest(pFilter, bCommand, MCU_PARAM_NONE);
    if (FAILED(hr)) return hr;
    return McuReadReply(pFilter, bCommand, abReply, sizeof abReply);
}

} // namespace

extern "C" int YRA_HDC_SDK_GetVersion(void) {
    return SDK_VERSION;
}

extern "C" HRESULT YRA_HDC_SDK_GetMCUVersion(IBaseFilter* pFilter, int* pMajor, int* pMinor) {
    if (!pFilter || !pMajor || !pMinor) return E_INVALIDARG;
    BYTE abReply[MCU_REPLY_AREA] = {};
    HRESULT hr = AskMcu(pFilter, MCU_CMD_GET_VERSION, abReply);
    if (FAILED(hr)) return hr;
    *pMajor = abReply[0];
    *pMinor = abReply[1];
    return hr;
}

extern "C" HRESULT YRA_HDC_SDK_GetHDMIRXResolution(IBaseFilter* pFilter, int* pCode) {
    if (!pFilter || !pCode) return E_INVALIDARG;
    BYTE abReply[MCU_REPLY_AREA] = {};
    HRESULT hr = AskMcu(pFilter, MCU_CMD_GET_HDMI_RX_RESOLUTION, abReply);
    if (FAILED(hr)) return hr;
    *pCode = abReply[1]; // byte 0 of the answer is not used
    return hr;
}
