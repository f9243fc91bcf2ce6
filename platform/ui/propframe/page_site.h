// The site a frame gives each page: how a page tells the frame that it holds edits.
#pragma once

#include "host/unknown_impl.h"
#include "plat/media.h"

#include <functional>

namespace host {

// Made with one reference, the frame's.
class PageSite final : public UnknownImpl<IPropertyPageSite> {
public:
    // `onDirty` runs when the page reports edits; `lcid` is what GetLocaleID answers.
    PageSite(std::function<void()> onDirty, LCID lcid);

    // The frame is gone: the page may still hold the site, but nothing reaches the frame.
    void Detach();

    HRESULT OnStatusChange(DWORD dwFlags) override;
    HRESULT GetLocaleID(LCID* pLocaleID) override;
    HRESULT GetPageContainer(IUnknown** ppUnk) override;
    HRESULT TranslateAccelerator(MSG* pMsg) override;

private:
    ~PageSite() override = default;

    std::function<void()> m_onDirty;
    const LCID m_lcid;
};

} // namespace host
