// C++ without the platform headers: the filter object is an opaque type.
#include <YRA_HD_Capture_SDK.h>

extern "C" int CallFromCxx() {
    IBaseFilter* filter = nullptr;
    int code = -1;
    return YRA_HDC_SDK_GetHDMIRXResolution(filter, &code) == HRESULT(0x80070057) && code == -1;
}
