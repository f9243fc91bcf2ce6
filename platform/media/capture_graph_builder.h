// The capture graph builder: finds pins by direction, category and type, and connects a
// source straight to a sink (through one intermediate filter when given).
#pragma once

#include "plat/media.h"

namespace host {

// Makes a capture graph builder object, as CLSID_CaptureGraphBuilder2 does.
HRESULT CreateCaptureGraphBuilder(IUnknown* pUnkOuter, REFIID riid, void** ppv);

} // namespace host
