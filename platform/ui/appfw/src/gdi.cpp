// CFont and the paint device context.
#include "appfw/gdi.h"
#include "appfw/wnd.h"

#include <memory>
#include <mutex>
#include <unordered_map>

CFont::~CFont() {
    if (m_bOwned) DeleteObject();
}

CFont* CFont::FromHandle(HFONT hFont) {
    if (!hFont) return nullptr;
    static auto* mu = new std::mutex;
    static auto* wrappers = new std::unordered_map<HFONT, std::unique_ptr<CFont>>;
    std::lock_guard lock(*mu);
    auto& slot = (*wrappers)[hFont];
    if (!slot) {
        slot = std::make_unique<CFont>();
        slot->m_hObject = hFont;
    }
    return slot.get();
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont) {
    if (m_hObject || !lpLogFont) return FALSE;
    m_hObject = ::CreateFontIndirectW(lpLogFont);
    m_bOwned = m_hObject != nullptr;
    return m_bOwned;
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision,
                       BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename) {
    if (m_hObject) return FALSE;
    m_hObject =
        ::CreateFontW(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline, cStrikeOut,
                      nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily, lpszFacename);
    m_bOwned = m_hObject != nullptr;
    return m_bOwned;
}

BOOL CFont::CreatePointFont(int nPointSize, LPCWSTR lpszFaceName) {
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(nPointSize, 96, 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::u16string_view face(lpszFaceName ? lpszFaceName : u"");
    std::copy_n(face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
    return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONTW* pLogFont) const {
    return ::GetObjectW(m_hObject, sizeof(LOGFONTW), pLogFont);
}

BOOL CFont::DeleteObject() {
    if (!m_hObject) return FALSE;
    BOOL ok = m_bOwned ? ::DeleteObject(m_hObject) : TRUE;
    m_hObject = nullptr;
    m_bOwned = false;
    return ok;
}

HFONT CFont::Detach() {
    HFONT font = m_hObject;
    m_hObject = nullptr;
    m_bOwned = false;
    return font;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
}
