#include <YRA_HD_Capture_SDK.h>

#include <stdio.h>

#ifdef WITH_CXX
int CallFromCxx(void);
#endif

int main(void) {
    HDC_FILTER_PARAM param;
    int major = 0, minor = 0;
    if (YRA_HDC_SDK_GetVersion() != 20150303) return 1;
    if (YRA_HDC_SDK_GetFilterParam(NULL, &param) != (HRESULT)0x80070057) return 2;
    if (YRA_HDC_SDK_GetMCUVersion(NULL, &major, &minor) != (HRESULT)0x80070057) return 3;
#ifdef WITH_CXX
    if (!CallFromCxx()) return 4;
#endif
    puts("sdk consumer ok");
    return 0;
}
