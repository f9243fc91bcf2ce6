// Filing a page under the device property set whose sheet it extends, and taking it out again.
// Both pages file themselves under the video proc-amp set, so they share the set's keys.
#pragma once

#include "plat/types.h"

// Class entries (through the framework), then
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\MediaSets\{set}\PropertyPages\{page}.
HRESULT RegisterExtensionPage(REFCLSID clsidPage);

// Removes the class entries and the page's key. With bRemoveSharedKeys the emptied
// "PropertyPages" key and the set's key go too; the registry refuses while another page is
// still filed there, and that refusal is the result.
HRESULT UnregisterExtensionPage(REFCLSID clsidPage, BOOL bRemoveSharedKeys);
