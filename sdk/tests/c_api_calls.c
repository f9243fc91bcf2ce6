#include "c_api_calls.h"

#include <string.h>

void CallEveryExportFromC(IBaseFilter* pFilter, C_API_RESULTS* pResults) {
    C_API_RESULTS* r = pResults;
    memset(r, 0, sizeof *r);
    r->nVersion = YRA_HDC_SDK_GetVersion();
    r->hrInitialize = YRA_HDC_SDK_InitializeFilterParam(pFilter);
    r->hrGet = YRA_HDC_SDK_GetFilterParam(pFilter, &r->param);
    r->param.nBitRate = 8000;
    r->param.nBitRate2 = 8000;
    r->param.nBitRate3 = 8000;
    r->hrSet = YRA_HDC_SDK_SetFilterParam(pFilter, &r->param);
    r->hrGetAfterSet = YRA_HDC_SDK_GetFilterParam(pFilter, &r->param);
    r->hrMcuVersion = YRA_HDC_SDK_GetMCUVersion(pFilter, &r->nMajor, &r->nMinor);
    r->hrHdmi = YRA_HDC_SDK_GetHDMIRXResolution(pFilter, &r->nHdmiCode);
    r->hrNullFilter = YRA_HDC_SDK_GetFilterParam(NULL, &r->param);
    r->cbParam = sizeof(HDC_FILTER_PARAM);
    r->offsetSampleRate = offsetof(HDC_FILTER_PARAM, nAudioSampleRate);
    r->offsetBitRate3 = offsetof(HDC_FILTER_PARAM, nBitRate3);
}
