// Drawing objects of the dialog framework: fonts and device contexts.
#pragma once

#include "appfw/basics.h"

class CWnd;

class CFont {
public:
    CFont() = default;
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    HFONT m_hObject = nullptr;

    operator HFONT() const { return m_hObject; }
    HFONT GetSafeHandle() const { return m_hObject; }
    // A wrapper for a font owned elsewhere; it lives until the process ends.
    static CFont* FromHandle(HFONT hFont);

    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont);
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename);
    // nPointSize in tenths of a point.
    BOOL CreatePointFont(int nPointSize, LPCWSTR lpszFaceName);
    int GetLogFont(LOGFONTW* pLogFont) const;
    BOOL DeleteObject();
    HFONT Detach();

private:
    bool m_bOwned = false;
};

class CDC {
public:
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    BOOL DrawIcon(POINT point, HICON hIcon) { return ::DrawIcon(m_hDC, point.x, point.y, hIcon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
