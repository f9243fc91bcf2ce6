// GUID text in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" both ways.
#include "plat/com.h"

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

int HexValue(OLECHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at p; false on any non-hex character.
bool ReadHex(const OLECHAR* p, int digits, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int h = HexValue(p[i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    *value = v;
    return true;
}

OLECHAR* WriteHex(OLECHAR* p, uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) *p++ = kHex[(value >> (4 * i)) & 0xF];
    return p;
}

} // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < GUID_STRING_CHARS) return 0;
    OLECHAR* p = lpsz;
    *p++ = u'{';
    p = WriteHex(p, rguid.Data1, 8);
    *p++ = u'-';
    p = WriteHex(p, rguid.Data2, 4);
    *p++ = u'-';
    p = WriteHex(p, rguid.Data3, 4);
    *p++ = u'-';
    p = WriteHex(p, rguid.Data4[0], 2);
    p = WriteHex(p, rguid.Data4[1], 2);
    *p++ = u'-';
    for (int i = 2; i < 8; ++i) p = WriteHex(p, rguid.Data4[i], 2);
    *p++ = u'}';
    *p = 0;
    return GUID_STRING_CHARS;
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    if (!lplpsz) return E_INVALIDARG;
    *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(GUID_STRING_CHARS * sizeof(OLECHAR)));
    if (!*lplpsz) return E_OUTOFMEMORY;
    StringFromGUID2(rclsid, *lplpsz, GUID_STRING_CHARS);
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR s, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!s) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    // Exactly 38 characters: braces, dashes at fixed places, hex digits elsewhere.
    for (int i = 0; i < GUID_STRING_CHARS - 1; ++i)
        if (s[i] == 0) return CO_E_CLASSSTRING;
    if (s[GUID_STRING_CHARS - 1] != 0 || s[0] != u'{' || s[37] != u'}' || s[9] != u'-' || s[14] != u'-' ||
        s[19] != u'-' || s[24] != u'-')
        return CO_E_CLASSSTRING;
    GUID g{};
    uint32_t v = 0;
    if (!ReadHex(s + 1, 8, &g.Data1)) return CO_E_CLASSSTRING;
    if (!ReadHex(s + 10, 4, &v)) return CO_E_CLASSSTRING;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ReadHex(s + 15, 4, &v)) return CO_E_CLASSSTRING;
    g.Data3 = static_cast<uint16_t>(v);
    const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(s + offsets[i], 2, &v)) return CO_E_CLASSSTRING;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *pclsid = g;
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
    if (!lpsz) return E_INVALIDARG;
    HRESULT hr = CLSIDFromString(lpsz, lpiid);
    return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}
