// Classes served by plug-in modules named in the registry.
#include "class_lookup.h"

namespace host {

HRESULT GetRegisteredClassObject(REFCLSID, REFIID, void** ppv) {
    if (ppv) *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
}

void FreeUnusedRegisteredModules() {}

} // namespace host
