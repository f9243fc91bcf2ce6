// Decimal text of the dialog fields, as "%d" writes and reads it.
#pragma once

#include "plat/types.h"

constexpr int DECIMAL_CHARS = 12; // "-2147483648" and the terminator

// Writes `lValue` in decimal.
void FormatDecimal(LONG lValue, WCHAR (&achText)[DECIMAL_CHARS]);

// Reads a number the way "%d" does: leading white space, an optional sign, then digits up to
// the first other character. FALSE when the text holds no such number; digits beyond the range
// of a LONG are not accepted either.
BOOL ParseDecimal(LPCWSTR pszText, LONG* plValue);
