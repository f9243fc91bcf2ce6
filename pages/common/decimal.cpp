#include "pages/common/decimal.h"

namespace {

bool IsSpace(WCHAR ch) { return ch == u' ' || (ch >= u'\t' && ch <= u'\r'); }

} // namespace

void FormatDecimal(LONG lValue, WCHAR (&achText)[DECIMAL_CHARS]) {
    WCHAR achDigits[DECIMAL_CHARS];
    int nDigits = 0;
    // Unsigned, so that the most negative value has a magnitude.
    uint32_t uMagnitude = lValue < 0 ? 0u - static_cast<uint32_t>(lValue) : static_cast<uint32_t>(lValue);
    do {
        achDigits[nDigits++] = static_cast<WCHAR>(u'0' + uMagnitude % 10);
        uMagnitude /= 10;
    } while (uMagnitude);
    int i = 0;
    if (lValue < 0) achText[i++] = u'-';
    while (nDigits) achText[i++] = achDigits[--nDigits];
    achText[i] = 0;
}

BOOL ParseDecimal(LPCWSTR pszText, LONG* plValue) {
    const WCHAR* p = pszText;
    while (IsSpace(*p)) ++p;
    bool bNegative = false;
    if (*p == u'+' || *p == u'-') bNegative = *p++ == u'-';
    if (*p < u'0' || *p > u'9') return FALSE;
    int64_t llValue = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        llValue = llValue * 10 + (*p - u'0');
        if (llValue > 0x80000000LL) return FALSE;
    }
    if (bNegative) llValue = -llValue;
    if (llValue > 0x7FFFFFFFLL) return FALSE;
    *plValue = static_cast<LONG>(llValue);
    return TRUE;
}
