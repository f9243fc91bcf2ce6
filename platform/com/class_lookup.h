// How the runtime finds a class that the host does not build in: through the registry's
// InprocServer32 entry and the module it names.
#pragma once

#include "plat/unknown.h"

namespace host {

HRESULT GetRegisteredClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

} // namespace host
