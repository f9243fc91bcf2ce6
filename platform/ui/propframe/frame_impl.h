// The frame's inside: its pages with their sites, its window, the tab strip and the buttons.
#pragma once

#include "host/propframe.h"
#include "page_site.h"

namespace host {

struct FramePage {
    CLSID clsid{};
    IPropertyPage* page = nullptr;
    PageSite* site = nullptr;
    std::u16string title;
    SIZE size{};
    HWND window = nullptr; // while the page is active
};

class PropertyFrame::Impl {
public:
    Impl(const Options& options, const std::vector<IUnknown*>& objects);
    ~Impl();

    void AddPage(REFCLSID clsid);
    HRESULT CreateWindowAndShow();

    HWND Window() const { return m_hwnd; }
    bool IsOpen() const { return m_hwnd != nullptr; }
    const std::vector<FramePage>& Pages() const { return m_pages; }
    const std::vector<LeftOutPage>& LeftOut() const { return m_leftOut; }
    size_t CurrentPage() const { return m_current; }
    bool SelectPage(size_t index);
    bool ApplyEnabled() const;
    HRESULT Apply();
    HRESULT Ok();
    void Cancel() { Close(IDCANCEL); }
    INT_PTR RunModal();

    BOOL OnCommand(int id, int code);

private:
    void ReleasePage(FramePage& page);
    void LayOut();
    HWND AddControl(LPCWSTR text, int id, DWORD style, int x, int y, int cx, int cy);
    void Close(INT_PTR result);

    Options m_options;
    std::vector<IUnknown*> m_objects; // one reference each while the frame lives
    std::vector<FramePage> m_pages;
    std::vector<LeftOutPage> m_leftOut;
    HWND m_hwnd = nullptr;
    HFONT m_font = nullptr;
    RECT m_pageRect{};
    size_t m_current = 0;
    INT_PTR m_result = IDCANCEL;
};

} // namespace host
