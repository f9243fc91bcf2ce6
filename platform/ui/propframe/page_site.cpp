#include "page_site.h"

namespace host {

PageSite::PageSite(std::function<void()> onDirty, LCID lcid) : m_onDirty(std::move(onDirty)), m_lcid(lcid) {}

void PageSite::Detach() { m_onDirty = nullptr; }

HRESULT PageSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
    *ppv = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
}

ULONG PageSite::AddRef() { return ++m_refs; }

ULONG PageSite::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

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
