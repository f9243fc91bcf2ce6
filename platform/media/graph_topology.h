// What the graph manager learns from filters and pins: their pins, who is downstream of
// whom, and which filters render.
#pragma once

#include "com_ptr.h"
#include "plat/media.h"

#include <vector>

namespace host {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* pFilter);
bool IsDirection(IPin* pPin, PIN_DIRECTION dir);
ComPtr<IPin> PeerOf(IPin* pPin);
// The filter that owns a pin, with a reference.
ComPtr<IBaseFilter> OwnerOf(IPin* pPin);
// A filter renders when it says so, or when it has input pins and no output pins.
bool IsRenderer(IBaseFilter* pFilter);

// Indexes into 'filters' ordered so that every filter comes before those upstream of it.
// 'identities' holds each filter's identity, in the same order.
std::vector<size_t> DownstreamFirst(const std::vector<IBaseFilter*>& filters,
                                    const std::vector<IUnknown*>& identities);

} // namespace host
