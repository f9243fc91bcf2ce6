// CString: the dialog framework's UTF-16 string, with printf-style formatting.
#pragma once

#include "plat/ui.h"

#include <algorithm>
#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(LPCWSTR psz) : m_str(psz ? psz : u"") {}
    CString(LPCWSTR pch, int nLength) : m_str(pch, static_cast<size_t>(nLength)) {}
    CString(std::u16string s) : m_str(std::move(s)) {}
    CString(WCHAR ch, int nRepeat = 1) : m_str(static_cast<size_t>(nRepeat), ch) {}

    operator LPCWSTR() const { return m_str.c_str(); }
    LPCWSTR GetString() const { return m_str.c_str(); }
    const std::u16string& str() const { return m_str; }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    WCHAR GetAt(int i) const { return m_str[static_cast<size_t>(i)]; }
    WCHAR operator[](int i) const { return GetAt(i); }

    // %d %i %u %x %X %o %c %s %ls (wide) %S %hs (narrow) %f %e %g %p %%, with flags, width,
    // precision, and the length modifiers h l ll I64 z.
    void Format(LPCWSTR pszFormat, ...);
    void AppendFormat(LPCWSTR pszFormat, ...);
    void FormatV(LPCWSTR pszFormat, va_list args);
    BOOL LoadString(UINT nID);
    BOOL LoadString(HINSTANCE hInstance, UINT nID);

    LPWSTR GetBuffer(int nMinBufLength);
    LPWSTR GetBufferSetLength(int nLength);
    void ReleaseBuffer(int nNewLength = -1);

    CString Left(int n) const { return CString(m_str.substr(0, Clamp(n))); }
    CString Right(int n) const { return CString(m_str.substr(m_str.size() - Clamp(n))); }
    CString Mid(int first, int count = -1) const;
    int Find(WCHAR ch, int start = 0) const;
    int Find(LPCWSTR sub, int start = 0) const;
    int ReverseFind(WCHAR ch) const;
    int Compare(LPCWSTR psz) const { return m_str.compare(psz ? psz : u""); }

    CString& operator=(LPCWSTR psz) {
        m_str = psz ? psz : u"";
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(LPCWSTR psz) {
        if (psz) m_str += psz;
        return *this;
    }
    CString& operator+=(WCHAR ch) {
        m_str += ch;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, LPCWSTR b) { return a += b; }
    friend CString operator+(LPCWSTR a, const CString& b) { return CString(a) += b; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, LPCWSTR b) { return a.m_str == (b ? b : u""); }
    friend bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }

private:
    size_t Clamp(int n) const { return n < 0 ? 0 : std::min(static_cast<size_t>(n), m_str.size()); }
    std::u16string m_str;
};
using CStringW = CString;
