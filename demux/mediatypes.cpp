#include "demux/mediatypes.h"

#include "plat/com.h"

#include <cstdlib>
#include <cstring>

namespace {

// Replaces the type's format block with a zero-filled one of cb bytes in task memory. The old
// block is freed only once the new one exists, so a failure leaves the type as it was.
HRESULT SetFormatBlock(AM_MEDIA_TYPE* pmt, REFGUID formattype, ULONG cb) {
    auto* pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(cb));
    if (!pbFormat) return E_OUTOFMEMORY;
    std::memset(pbFormat, 0, cb);
    if (pmt->pbFormat) CoTaskMemFree(pmt->pbFormat);
    pmt->formattype = formattype;
    pmt->cbFormat = cb;
    pmt->pbFormat = pbFormat;
    return S_OK;
}

} // namespace

HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (pmt->majortype != MEDIATYPE_Stream) return S_FALSE;
    if (pmt->subtype != MEDIASUBTYPE_MPEG2_PROGRAM && pmt->subtype != MEDIASUBTYPE_MPEG2_TRANSPORT)
        return S_FALSE;
    return S_OK;
}

void FillVideoInfoHeader(VIDEOINFOHEADER* pvih, LONG nWidth, LONG nHeight, DWORD dwCompression) {
    std::memset(pvih, 0, sizeof(*pvih));
    // Announced as 330 (100-ns units); downstream times the frames by the samples' stamps.
    pvih->AvgTimePerFrame = 330;
    BITMAPINFOHEADER* pbmi = &pvih->bmiHeader;
    pbmi->biSize = sizeof(BITMAPINFOHEADER);
    pbmi->biWidth = nWidth;
    pbmi->biHeight = nHeight;
    pbmi->biPlanes = 1;
    pbmi->biBitCount = 24;
    pbmi->biCompression = dwCompression;
    // A 24-bit row rounded up to whole 32-bit words; 64-bit so a large size cannot overflow.
    LONGLONG llRow = (static_cast<LONGLONG>(nWidth) * 24 + 31) / 32 * 4;
    pbmi->biSizeImage = static_cast<DWORD>(llRow * std::llabs(static_cast<LONGLONG>(nHeight)));
}

HRESULT GetVideoMediaType(int iPosition, LONG nWidth, LONG nHeight, AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    static const GUID* const kSubtypes[VIDEO_MEDIA_TYPE_COUNT] = {&MEDIASUBTYPE_AVC1, &MEDIASUBTYPE_H264,
                                                                  &MEDIASUBTYPE_H264_Offered};
    static const DWORD kCompression[VIDEO_MEDIA_TYPE_COUNT] = {FOURCC_AVC1, FOURCC_H264, FOURCC_H264};
    auto nPosition = static_cast<ULONG>(iPosition);
    if (nPosition >= VIDEO_MEDIA_TYPE_COUNT) return E_INVALIDARG;

    HRESULT hr = SetFormatBlock(pmt, FORMAT_VideoInfo, sizeof(VIDEOINFOHEADER));
    if (FAILED(hr)) return hr;
    FillVideoInfoHeader(reinterpret_cast<VIDEOINFOHEADER*>(pmt->pbFormat), nWidth, nHeight,
                        kCompression[nPosition]);
    pmt->majortype = MEDIATYPE_Video;
    pmt->subtype = *kSubtypes[nPosition];
    pmt->bFixedSizeSamples = FALSE;
    pmt->bTemporalCompression = FALSE;
    return S_OK;
}

HRESULT CheckVideoMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (pmt->majortype != MEDIATYPE_Video) return S_FALSE;
    if (pmt->subtype != MEDIASUBTYPE_AVC1 && pmt->subtype != MEDIASUBTYPE_H264) return S_FALSE;
    return S_OK;
}

void GetAacAudioSpecificConfig(DWORD nRate, BYTE pbConfig[2]) {
    static const DWORD kRates[] = {96000, 88200, 64000, 48000, 44100, 32000,
                                   24000, 22050, 16000, 12000, 11025, 8000};
    DWORD nIndex = 3;
    for (DWORD i = 0; i < ARRAYSIZE(kRates); i++) {
        if (kRates[i] == nRate) nIndex = i;
    }
    // 5 bits object type (2, AAC LC), 4 bits frequency index, 4 bits channel configuration
    // (2), 3 bits zero.
    constexpr DWORD kObjectType = 2;
    constexpr DWORD kChannels = 2;
    pbConfig[0] = static_cast<BYTE>((kObjectType << 3) | (nIndex >> 1));
    pbConfig[1] = static_cast<BYTE>(((nIndex & 1) << 7) | (kChannels << 3));
}

void FillAacWaveFormat(BYTE pbFormat[AAC_FORMAT_SIZE], DWORD nRate) {
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_RAW_AAC1;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = nRate;
    wfx.cbSize = 2;
    std::memcpy(pbFormat, &wfx, sizeof(wfx));
    GetAacAudioSpecificConfig(nRate, pbFormat + sizeof(wfx));
}

HRESULT GetAudioMediaType(int iPosition, DWORD nRate, AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (static_cast<ULONG>(iPosition) >= 1) return E_INVALIDARG;
    HRESULT hr = SetFormatBlock(pmt, FORMAT_WaveFormatEx, AAC_FORMAT_SIZE);
    if (FAILED(hr)) return hr;
    FillAacWaveFormat(pmt->pbFormat, nRate);
    pmt->majortype = MEDIATYPE_Audio;
    pmt->subtype = MEDIASUBTYPE_RAW_AAC1;
    pmt->bFixedSizeSamples = FALSE;
    pmt->bTemporalCompression = FALSE;
    pmt->lSampleSize = 1;
    return S_OK;
}

HRESULT CheckAudioMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (pmt->majortype != MEDIATYPE_Audio || pmt->subtype != MEDIASUBTYPE_RAW_AAC1) return S_FALSE;
    return S_OK;
}
