/* Calls every SDK export from a C translation unit and reports what came back. */
#ifndef SDK_TESTS_C_API_CALLS_H
#define SDK_TESTS_C_API_CALLS_H

#include "YRA_HD_Capture_SDK.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct C_API_RESULTS {
    int nVersion;
    HRESULT hrInitialize;
    HRESULT hrGet;
    HRESULT hrSet;
    HRESULT hrGetAfterSet;
    HRESULT hrMcuVersion;
    HRESULT hrHdmi;
    HRESULT hrNullFilter;
    HDC_FILTER_PARAM param;
    int nMajor;
    int nMinor;
    int nHdmiCode;
    /* The record's layout as C sees it. */
    size_t cbParam;
    size_t offsetSampleRate;
    size_t offsetBitRate3;
} C_API_RESULTS;

/* Initialises the device, reads the record, writes it back with the bit rates at 8000 and reads it
 * again, then asks for the MCU version and the HDMI code. */
void CallEveryExportFromC(IBaseFilter* pFilter, C_API_RESULTS* pResults);

#ifdef __cplusplus
}
#endif

#endif
