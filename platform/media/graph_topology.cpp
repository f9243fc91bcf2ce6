#include "graph_topology.h"

#include <algorithm>
#include <functional>

namespace host {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* pFilter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> pEnum;
    if (FAILED(pFilter->EnumPins(pEnum.Receive())) || !pEnum) return pins;
    IPin* pPin = nullptr;
    ULONG cFetched = 0;
    while (pEnum->Next(1, &pPin, &cFetched) == S_OK && cFetched == 1) pins.push_back(ComPtr<IPin>::Adopt(pPin));
    return pins;
}

bool IsDirection(IPin* pPin, PIN_DIRECTION dir) {
    PIN_DIRECTION actual;
    return SUCCEEDED(pPin->QueryDirection(&actual)) && actual == dir;
}

ComPtr<IPin> PeerOf(IPin* pPin) {
    ComPtr<IPin> peer;
    if (FAILED(pPin->ConnectedTo(peer.Receive()))) peer.Reset();
    return peer;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pPin) {
    PIN_INFO info{};
    if (FAILED(pPin->QueryPinInfo(&info))) return {};
    return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

bool IsRenderer(IBaseFilter* pFilter) {
    ComPtr<IAMFilterMiscFlags> flags;
    if (SUCCEEDED(pFilter->QueryInterface(IID_IAMFilterMiscFlags, flags.ReceiveVoid())) && flags &&
        (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER)) {
        return true;
    }
    bool bInputs = false;
    for (const ComPtr<IPin>& pin : PinsOf(pFilter)) {
        if (IsDirection(pin.Get(), PINDIR_OUTPUT)) return false;
        bInputs = true;
    }
    return bInputs;
}

std::vector<size_t> DownstreamFirst(const std::vector<IBaseFilter*>& filters,
                                    const std::vector<IUnknown*>& identities) {
    const size_t n = filters.size();
    std::vector<std::vector<size_t>> downstream(n);
    for (size_t i = 0; i < n; ++i) {
        for (const ComPtr<IPin>& pin : PinsOf(filters[i])) {
            if (!IsDirection(pin.Get(), PINDIR_OUTPUT)) continue;
            ComPtr<IPin> peer = PeerOf(pin.Get());
            if (!peer) continue;
            ComPtr<IBaseFilter> owner = OwnerOf(peer.Get());
            if (!owner) continue;
            auto it = std::find(identities.begin(), identities.end(), IdentityOf(owner.Get()));
            if (it != identities.end()) downstream[i].push_back(static_cast<size_t>(it - identities.begin()));
        }
    }
    // Depth first, each filter after everything below it; a cycle is cut where it closes.
    std::vector<size_t> order;
    std::vector<bool> seen(n, false);
    std::function<void(size_t)> visit = [&](size_t i) {
        seen[i] = true;
        for (size_t d : downstream[i]) {
            if (!seen[d]) visit(d);
        }
        order.push_back(i);
    };
    for (size_t i = 0; i < n; ++i) {
        if (!seen[i]) visit(i);
    }
    return order;
}

} // namespace host
