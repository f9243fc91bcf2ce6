// Fonts, icons and painting. Nothing is drawn by the core: fonts and icons are objects that
// drivers read, and painting hands the window's own procedure a device context to draw into.
#include "state.h"

#include <algorithm>

namespace host::ui {

HFONT CreateFontObject(const LOGFONTW& lf) {
    auto lock = Locked();
    void* h = S().NewHandle();
    S().fonts[h] = FontObject{lf, false};
    return static_cast<HFONT>(h);
}

void DeleteFontObject(HFONT font) {
    auto lock = Locked();
    auto it = S().fonts.find(font);
    if (it != S().fonts.end() && !it->second.stock) S().fonts.erase(it);
}

bool GetFontInfo(HFONT font, LOGFONTW* lf) {
    auto lock = Locked();
    auto it = S().fonts.find(font);
    if (it == S().fonts.end() || !lf) return false;
    *lf = it->second.lf;
    return true;
}

bool GetIconInfo(HICON icon, IconInfo* info) {
    auto lock = Locked();
    auto it = S().icons.find(icon);
    if (it == S().icons.end() || !info) return false;
    *info = it->second.info;
    return true;
}

static HWND WindowOfDC(HDC dc) {
    return reinterpret_cast<HWND>(dc);
}

} // namespace host::ui

using namespace host::ui;

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    return lplf ? CreateFontObject(*lplf) : nullptr;
}

HFONT CreateFontW(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                  DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                  DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCWSTR pszFaceName) {
    LOGFONTW lf{};
    lf.lfHeight = cHeight;
    lf.lfWidth = cWidth;
    lf.lfEscapement = cEscapement;
    lf.lfOrientation = cOrientation;
    lf.lfWeight = cWeight;
    lf.lfItalic = static_cast<BYTE>(bItalic);
    lf.lfUnderline = static_cast<BYTE>(bUnderline);
    lf.lfStrikeOut = static_cast<BYTE>(bStrikeOut);
    lf.lfCharSet = static_cast<BYTE>(iCharSet);
    lf.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    lf.lfQuality = static_cast<BYTE>(iQuality);
    lf.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    if (pszFaceName) {
        std::u16string_view face(pszFaceName);
        std::copy_n(face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
    }
    return CreateFontObject(lf);
}

int GetObjectW(HGDIOBJ h, int c, LPVOID pv) {
    LOGFONTW lf;
    if (!GetFontInfo(static_cast<HFONT>(h), &lf)) return 0;
    if (!pv) return sizeof(LOGFONTW);
    int n = std::min(c, static_cast<int>(sizeof(LOGFONTW)));
    if (n <= 0) return 0;
    std::memcpy(pv, &lf, static_cast<size_t>(n));
    return n;
}

HGDIOBJ GetStockObject(int i) {
    if (i != DEFAULT_GUI_FONT && i != SYSTEM_FONT) return nullptr;
    auto lock = Locked();
    auto it = S().stockFonts.find(i);
    if (it != S().stockFonts.end()) return it->second;
    LOGFONTW lf{};
    lf.lfWeight = i == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
    lf.lfHeight = i == SYSTEM_FONT ? 16 : -11;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::u16string_view face = i == SYSTEM_FONT ? u"System" : u"MS Shell Dlg";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    void* h = S().NewHandle();
    S().fonts[h] = FontObject{lf, true};
    S().stockFonts[i] = static_cast<HFONT>(h);
    return h;
}

BOOL DeleteObject(HGDIOBJ ho) {
    auto lock = Locked();
    auto it = S().fonts.find(ho);
    if (it == S().fonts.end()) return FALSE;
    if (!it->second.stock) S().fonts.erase(it);
    return TRUE;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (!lpPaint) return nullptr;
    auto lock = Locked();
    Window* w = FindLocked(hWnd);
    if (!w) return nullptr;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = reinterpret_cast<HDC>(hWnd);
    lpPaint->fErase = w->invalid ? TRUE : FALSE;
    RECT in = NonClientInsets(w->style, w->exStyle);
    lpPaint->rcPaint = {0, 0, (w->rect.right - w->rect.left) - in.left - in.right,
                        (w->rect.bottom - w->rect.top) - in.top - in.bottom};
    w->invalid = false;
    return lpPaint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

HDC GetDC(HWND hWnd) {
    return IsWindow(hWnd) ? reinterpret_cast<HDC>(hWnd) : nullptr;
}
int ReleaseDC(HWND, HDC hDC) {
    return hDC ? 1 : 0;
}

int GetDeviceCaps(HDC, int index) {
    return (index == LOGPIXELSX || index == LOGPIXELSY) ? 96 : 0;
}

BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    HWND hwnd = WindowOfDC(hDC);
    {
        auto lock = Locked();
        if (!FindLocked(hwnd) || S().icons.find(hIcon) == S().icons.end()) return FALSE;
        S().iconDraws.push_back(IconDraw{hwnd, X, Y, hIcon});
    }
    CurrentDriver().IconDrawn(hDC, X, Y, hIcon);
    return TRUE;
}

BOOL DestroyIcon(HICON hIcon) {
    // Icons from LoadIconW are shared and stay for the life of the process.
    auto lock = Locked();
    return S().icons.count(hIcon) ? TRUE : FALSE;
}
