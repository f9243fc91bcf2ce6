// The site a frame gives each page: how a page tells the frame that it holds edits.
#pragma once

#include "plat/media.h"

#include <atomic>
#include <functional>

namespace host {

class PageSite final : public IPropertyPageSite {
public:
    // `onDirty` runs when the page reports edits; `lcid` is what GetLocaleID answers.
    PageSite(std::function<void()> onDirty, LCID lcid);

    // The frame is gone: the page may still hold the site, but nothing reaches the frame.
    void Detach();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT OnStatusChange(DWORD dwFlags) override;
    HRESULT GetLocaleID(LCID* pLocaleID) override;
    HRESULT GetPageContainer(IUnknown** ppUnk) override;
    HRESULT TranslateAccelerator(MSG* pMsg) override;

private:
    ~PageSite() = default;

    std::atomic<ULONG> m_refs{1};
    std::function<void()> m_onDirty;
    const LCID m_lcid;
};

} // namespace host
