// The system reference clock: a monotonic time in 100-ns units.
#pragma once

#include "plat/media.h"

namespace host {

// Makes a system clock object with one reference, as CLSID_SystemClock does.
HRESULT CreateSystemClock(IUnknown* pUnkOuter, REFIID riid, void** ppv);

} // namespace host
