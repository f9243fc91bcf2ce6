// BSTR and VARIANT basics. A BSTR carries its byte length in the 32-bit word before the
// characters and is always terminated, so it can be read as a plain wide string.
#include "plat/com.h"

#include <cstdlib>
#include <cstring>

namespace {

UINT WideLength(const OLECHAR* s) {
    UINT n = 0;
    while (s[n]) ++n;
    return n;
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
    auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + (size_t(cch) + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    uint32_t bytes = cch * sizeof(OLECHAR);
    std::memcpy(block, &bytes, sizeof bytes);
    auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    if (pch) std::memcpy(chars, pch, size_t(cch) * sizeof(OLECHAR));
    else std::memset(chars, 0, size_t(cch) * sizeof(OLECHAR));
    chars[cch] = 0;
    return chars;
}

BSTR SysAllocString(const OLECHAR* psz) { return psz ? SysAllocStringLen(psz, WideLength(psz)) : nullptr; }

void SysFreeString(BSTR bstr) {
    if (bstr) std::free(reinterpret_cast<uint8_t*>(bstr) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR bstr) {
    if (!bstr) return 0;
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<uint8_t*>(bstr) - sizeof(uint32_t), sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* pvarg) {
    if (!pvarg) return;
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
    default:
        break;
    }
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    VariantClear(pvargDest);
    *pvargDest = *pvargSrc;
    switch (pvargSrc->vt) {
    case VT_BSTR:
        if (pvargSrc->bstrVal) {
            pvargDest->bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
            if (!pvargDest->bstrVal) {
                pvargDest->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
        }
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (pvargDest->punkVal) pvargDest->punkVal->AddRef();
        break;
    default:
        break;
    }
    return S_OK;
}
