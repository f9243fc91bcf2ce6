// CString formatting and helpers. Numbers go through the C library with a narrow copy of each
// conversion; strings are copied as UTF-16.
#include "appfw/string.h"
#include "appfw/app.h"

#include <cstdio>

namespace {

std::u16string Widen(const char* s) {
    std::u16string out;
    for (; s && *s; ++s)
        out += static_cast<char16_t>(static_cast<unsigned char>(*s));
    return out;
}

void Pad(std::u16string& out, std::u16string body, int width, bool left) {
    if (width > static_cast<int>(body.size())) {
        std::u16string fill(static_cast<size_t>(width) - body.size(), u' ');
        body = left ? body + fill : fill + body;
    }
    out += body;
}

std::u16string FormatArgs(const WCHAR* fmt, va_list args) {
    std::u16string out;
    if (!fmt) return out;
    for (const WCHAR* p = fmt; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const WCHAR* start = p++;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        std::string spec = "%";
        bool left = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'0' || *p == u'#') {
            left |= *p == u'-';
            spec += static_cast<char>(*p++);
        }
        int width = 0;
        if (*p == u'*') {
            width = va_arg(args, int);
            if (width < 0) left = true, width = -width;
            spec += std::to_string(width);
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9') {
                width = width * 10 + (*p - u'0');
                spec += static_cast<char>(*p++);
            }
        }
        int precision = -1;
        if (*p == u'.') {
            spec += '.';
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                spec += std::to_string(precision);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') {
                    precision = precision * 10 + (*p - u'0');
                    spec += static_cast<char>(*p++);
                }
            }
        }
        enum { kInt, kShort, kLong, kLongLong, kSize } length = kInt;
        bool narrow = false, wide = false;
        if (*p == u'h') {
            ++p;
            length = kShort;
            narrow = true;
        } else if (*p == u'l') {
            ++p;
            length = kLong;
            wide = true;
            if (*p == u'l') ++p, length = kLongLong;
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            p += 3;
            length = kLongLong;
        } else if (*p == u'z' || *p == u'I') {
            ++p;
            length = kSize;
        }
        char conv = static_cast<char>(*p);
        char buffer[512];
        switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            bool isSigned = conv == 'd' || conv == 'i';
            if (length == kLongLong || length == kSize || length == kLong) {
                spec += "ll";
                long long v = 0;
                if (length == kLongLong) v = va_arg(args, long long);
                else if (length == kSize) v = static_cast<long long>(va_arg(args, size_t));
                else v = va_arg(args, long);
                spec += conv;
                std::snprintf(buffer, sizeof buffer, spec.c_str(), v);
            } else {
                int v = va_arg(args, int);
                if (length == kShort) v = isSigned ? static_cast<short>(v) : static_cast<unsigned short>(v);
                spec += conv;
                if (isSigned)
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), v);
                else
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<unsigned>(v));
            }
            out += Widen(buffer);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            spec += conv;
            std::snprintf(buffer, sizeof buffer, spec.c_str(), va_arg(args, double));
            out += Widen(buffer);
            break;
        }
        case 'p': {
            std::snprintf(buffer, sizeof buffer, "%p", va_arg(args, void*));
            out += Widen(buffer);
            break;
        }
        case 'c':
        case 'C': {
            auto ch = static_cast<char16_t>(va_arg(args, int));
            Pad(out, std::u16string(1, ch), width, left);
            break;
        }
        case 's':
        case 'S': {
            // In a wide format %s is a wide string and %S a narrow one; h and l force either.
            bool isNarrow = narrow || (conv == 'S' && !wide);
            std::u16string s;
            if (isNarrow) {
                const char* n = va_arg(args, const char*);
                s = n ? Widen(n) : u"(null)";
            } else {
                const WCHAR* w = va_arg(args, const WCHAR*);
                s = w ? std::u16string(w) : u"(null)";
            }
            if (precision >= 0 && static_cast<size_t>(precision) < s.size())
                s.resize(static_cast<size_t>(precision));
            Pad(out, std::move(s), width, left);
            break;
        }
        default:
            // Not a conversion: copy it as it stands.
            out.append(start, static_cast<size_t>(p - start + (*p ? 1 : 0)));
            if (!*p) return out;
            break;
        }
    }
    return out;
}

} // namespace

void CString::FormatV(LPCWSTR pszFormat, va_list args) {
    m_str = FormatArgs(pszFormat, args);
}

void CString::Format(LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::AppendFormat(LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    m_str += FormatArgs(pszFormat, args);
    va_end(args);
}

BOOL CString::LoadString(UINT nID) {
    return LoadString(AfxGetResourceHandle(), nID);
}

BOOL CString::LoadString(HINSTANCE hInstance, UINT nID) {
    const WCHAR* direct = nullptr;
    int n = ::LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&direct), 0);
    if (!direct) return FALSE;
    m_str.assign(direct, static_cast<size_t>(n));
    return TRUE;
}

LPWSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > static_cast<int>(m_str.size())) m_str.resize(static_cast<size_t>(nMinBufLength));
    return m_str.data();
}

LPWSTR CString::GetBufferSetLength(int nLength) {
    m_str.resize(static_cast<size_t>(std::max(nLength, 0)));
    return m_str.data();
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) nNewLength = static_cast<int>(std::u16string_view(m_str.c_str()).size());
    m_str.resize(static_cast<size_t>(nNewLength));
}

CString CString::Mid(int first, int count) const {
    size_t f = Clamp(first);
    size_t n = count < 0 ? std::u16string::npos : static_cast<size_t>(count);
    return CString(m_str.substr(f, n));
}

int CString::Find(WCHAR ch, int start) const {
    size_t i = m_str.find(ch, Clamp(start));
    return i == std::u16string::npos ? -1 : static_cast<int>(i);
}

int CString::Find(LPCWSTR sub, int start) const {
    size_t i = m_str.find(sub ? sub : u"", Clamp(start));
    return i == std::u16string::npos ? -1 : static_cast<int>(i);
}

int CString::ReverseFind(WCHAR ch) const {
    size_t i = m_str.rfind(ch);
    return i == std::u16string::npos ? -1 : static_cast<int>(i);
}
