// Enumerates the filters a graph held when the enumerator was made.
#pragma once

#include "plat/media.h"

#include <vector>

namespace host {

HRESULT CreateFilterEnumerator(const std::vector<IBaseFilter*>& filters, IEnumFilters** ppEnum);

} // namespace host
