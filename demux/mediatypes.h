// The media types the demultiplexer's pins offer and accept, built here so the pins only
// forward to these functions.
#pragma once

#include "plat/media.h"

// The third H.264 subtype the video pin offers (and, as before, does not accept).
YRA_DEFINE_GUID(MEDIASUBTYPE_H264_Offered, 0x8D2D71CB, 0x243F, 0x45E3, 0xB2, 0xD8, 0x5F, 0xD7, 0x96, 0x7E,
                0xC0, 0x9B);

constexpr DWORD FOURCC_AVC1 = 0x31435641;
constexpr DWORD FOURCC_H264 = 0x34363248;
constexpr WORD WAVE_FORMAT_RAW_AAC1 = 0x00FF;
constexpr ULONG VIDEO_MEDIA_TYPE_COUNT = 3;
// WAVEFORMATEX followed by a two-byte AudioSpecificConfig.
constexpr ULONG AAC_FORMAT_SIZE = sizeof(WAVEFORMATEX) + 2;

// Input pin: an MPEG-2 program or transport stream (the bytes decide which). S_OK or S_FALSE.
HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* pmt);

// Video pin, position 0 to 2: H.264 as AVC1, H264 and the offered-only subtype, with a
// VIDEOINFOHEADER for the picture size. Any format block the type held (task memory) is
// replaced. E_INVALIDARG past the last position, E_OUTOFMEMORY, E_POINTER.
HRESULT GetVideoMediaType(int iPosition, LONG nWidth, LONG nHeight, AM_MEDIA_TYPE* pmt);
// S_OK for video as AVC1 or H264, else S_FALSE.
HRESULT CheckVideoMediaType(const AM_MEDIA_TYPE* pmt);
void FillVideoInfoHeader(VIDEOINFOHEADER* pvih, LONG nWidth, LONG nHeight, DWORD dwCompression);

// Audio pin, position 0 only: raw AAC with a WAVEFORMATEX for nRate and its
// AudioSpecificConfig. Results as for the video pin.
HRESULT GetAudioMediaType(int iPosition, DWORD nRate, AM_MEDIA_TYPE* pmt);
// S_OK for audio as raw AAC, else S_FALSE.
HRESULT CheckAudioMediaType(const AM_MEDIA_TYPE* pmt);
// AAC LC, two channels, the rate's sampling-frequency index; a rate without an index gets
// the 48 kHz one.
void GetAacAudioSpecificConfig(DWORD nRate, BYTE pbConfig[2]);
void FillAacWaveFormat(BYTE pbFormat[AAC_FORMAT_SIZE], DWORD nRate);
