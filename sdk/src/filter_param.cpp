// Reading and writing the encoder settings record.
#include "filter_param_mapping.h"

#include <cstring>

namespace {

const HDC_FILTER_PARAM g_DefaultFilterParam = {
    1,     // bAudioEnable
    1,     // nAudioSampleRate: 48 kHz
    10,    // nAudioVolume
    1920,  // nInputWidth
    1080,  // nInputHeight
    60,    // nInputFrameRate
    1,     // bInputProgressive
    1920,  // nEncodeWidth
    1080,  // nEncodeHeight
    30,    // nEncodeFrameRate
    30000, // nBitRate
    30000, // nBitRate2
    30000, // nBitRate3
};

} // namespace

extern "C" HRESULT YRA_HDC_SDK_GetFilterParam(IBaseFilter* pFilter, HDC_FILTER_PARAM* pParam) {
    if (!pFilter || !pParam) return E_INVALIDARG;
    CDevicePropertySet device;
    HRESULT hr = device.Open(pFilter);
    if (FAILED(hr)) return hr;

    CEncoderProperties properties;
    hr = properties.Read(device);
    if (FAILED(hr)) return hr;
    BYTE abVolume[4] = {};
    hr = device.Get(PROPSETID_HDC_ENCODER, ENC_AUDIO_VOLUME, abVolume, sizeof abVolume);
    if (FAILED(hr)) return hr;

    DWORD dwVolume;
    std::memcpy(&dwVolume, abVolume, sizeof dwVolume);
    ExtractFilterParam(properties, dwVolume, pParam);
    return S_OK;
}

extern "C" HRESULT YRA_HDC_SDK_SetFilterParam(IBaseFilter* pFilter, const HDC_FILTER_PARAM* pParam) {
    if (!pFilter || !pParam) return E_INVALIDARG;
    CDevicePropertySet device;
    HRESULT hr = device.Open(pFilter);
    if (FAILED(hr)) return hr;

    CEncoderProperties properties;
    hr = properties.Read(device);
    if (FAILED(hr)) return hr;
    ApplyFilterParam(*pParam, properties);
    hr = properties.Write(device);
    if (FAILED(hr)) return hr;

    // A copy: the device gets a writable buffer, and the caller's record stays untouched.
    BYTE abVolume[4];
    std::memcpy(abVolume, &pParam->nAudioVolume, sizeof abVolume);
    hr = device.Set(PROPSETID_HDC_ENCODER, ENC_AUDIO_VOLUME, abVolume, sizeof abVolume);
    if (FAILED(hr)) return hr;
    return S_OK;
}

extern "C" HRESULT YRA_HDC_SDK_InitializeFilterParam(IBaseFilter* pFilter) {
    HDC_FILTER_PARAM param = g_DefaultFilterParam;
    return YRA_HDC_SDK_SetFilterParam(pFilter, &param);
}
