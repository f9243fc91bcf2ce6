// Extension property pages of a device: a page plug-in files its class id under
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\MediaSets\{set}\PropertyPages\{clsid},
// and the filter proxy offers it on every device that supports that property set.
#pragma once

#include "plat/types.h"

#include <span>
#include <vector>

namespace host {

// The class ids filed under any of `sets`, each once, in the order the registry lists them.
std::vector<CLSID> ExtensionPagesFiledUnder(std::span<const GUID> sets);

} // namespace host
