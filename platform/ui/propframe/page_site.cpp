#include "page_site.h"

namespace host {

PageSite::PageSite(std::function<void()> onDirty, LCID lcid)
    : UnknownImpl(IID_IPropertyPageSite), m_onDirty(std::move(onDirty)), m_lcid(lcid) {
    AddRef(); // the frame's reference
}

void PageSite::Detach() { m_onDirty = nullptr; }

HRESULT PageSite::OnStatusChange(DWORD dwFlags) {
    if (!m_onDirty) return E_UNEXPECTED;
    if (dwFlags & PROPPAGESTATUS_DIRTY) m_onDirty();
    return S_OK;
}

HRESULT PageSite::GetLocaleID(LCID* pLocaleID) {
    if (!pLocaleID) return E_POINTER;
    *pLocaleID = m_lcid;
    return S_OK;
}

HRESULT PageSite::GetPageContainer(IUnknown** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}

HRESULT PageSite::TranslateAccelerator(MSG*) { return S_FALSE; }

} // namespace host
