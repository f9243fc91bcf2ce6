/*
 * YRA HD Capture SDK: reads and writes the encoder settings of a YRA HD capture device as one
 * record, and reports the SDK version, the device's MCU firmware version and the resolution code
 * of its HDMI receiver. Every call takes the device's filter object and keeps no state.
 *
 * Results are HRESULTs: 0 (S_OK) on success, negative on failure; a null argument gives
 * E_INVALIDARG (0x80070057), any other failure is the device's own result, handed up unchanged.
 *
 * Usable from C and C++. In C the filter object is an opaque pointer; C++ code that has the
 * platform headers on its include path gets the platform's IBaseFilter.
 */
#ifndef YRA_HD_CAPTURE_SDK_H
#define YRA_HD_CAPTURE_SDK_H

#include <stdint.h>

#if defined(__cplusplus) && defined(__has_include)
#if __has_include("plat/media.h")
#include "plat/media.h"
#define YRA_HDC_SDK_PLATFORM_TYPES 1
#endif
#endif

#ifndef YRA_HDC_SDK_PLATFORM_TYPES
struct IBaseFilter;
typedef struct IBaseFilter IBaseFilter;
typedef int32_t HRESULT;
#endif

#if defined(__GNUC__)
#define YRA_HDC_SDK_API __attribute__((visibility("default")))
#else
#define YRA_HDC_SDK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The encoder, input and audio settings of a device. */
typedef struct HDC_FILTER_PARAM {
    uint8_t bAudioEnable;       /* audio is on when exactly 1 (default 1) */
    uint32_t nAudioSampleRate;  /* 0 = 44.1 kHz, 1 = 48 kHz (default 1) */
    uint32_t nAudioVolume;      /* volume step, 0..15 (default 10) */
    uint32_t nInputWidth;       /* incoming picture, pixels (default 1920) */
    uint32_t nInputHeight;      /* incoming picture, lines (default 1080) */
    uint32_t nInputFrameRate;   /* incoming frames (fields when interlaced) per second (default 60) */
    uint32_t bInputProgressive; /* 1 progressive, 0 interlaced (default 1) */
    uint32_t nEncodeWidth;      /* encoded picture width (default 1920) */
    uint32_t nEncodeHeight;     /* encoded picture height (default 1080) */
    uint32_t nEncodeFrameRate;  /* encoded frames per second (default 30) */
    uint32_t nBitRate;          /* encode bit rate, kbps (default 30000) */
    uint32_t nBitRate2;         /* second bit rate, kbps; callers set it equal to nBitRate */
    uint32_t nBitRate3;         /* third bit rate, kbps; callers set it equal to nBitRate */
} HDC_FILTER_PARAM;

/* The SDK's version number, 20150303. */
YRA_HDC_SDK_API int YRA_HDC_SDK_GetVersion(void);

/* Writes the default settings (the defaults listed in HDC_FILTER_PARAM) to the device. */
YRA_HDC_SDK_API HRESULT YRA_HDC_SDK_InitializeFilterParam(IBaseFilter* pFilter);

/* Reads the device's settings into *pParam; on failure *pParam is left as it was. */
YRA_HDC_SDK_API HRESULT YRA_HDC_SDK_GetFilterParam(IBaseFilter* pFilter, HDC_FILTER_PARAM* pParam);

/* Writes *pParam to the device. A failure part-way leaves the settings written before it. */
YRA_HDC_SDK_API HRESULT YRA_HDC_SDK_SetFilterParam(IBaseFilter* pFilter, const HDC_FILTER_PARAM* pParam);

/* The MCU firmware version, major and minor each 0..255; on failure the outputs are left as they were. */
YRA_HDC_SDK_API HRESULT YRA_HDC_SDK_GetMCUVersion(IBaseFilter* pFilter, int* pMajor, int* pMinor);

/* The resolution code (0..255) of the signal at the HDMI receiver; on failure *pCode is left as
 * it was. 1 is an unknown resolution, 2 no signal, 3 to 22 the receiver's video modes. */
YRA_HDC_SDK_API HRESULT YRA_HDC_SDK_GetHDMIRXResolution(IBaseFilter* pFilter, int* pCode);

#ifdef __cplusplus
}
#endif

#endif /* YRA_HD_CAPTURE_SDK_H */
