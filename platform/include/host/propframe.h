// The property frame as an object, for tools and tests: the sheet that OleCreatePropertyFrame
// runs modally, opened modeless so that a caller can drive it (select tabs, apply, close) and
// read every page's window.
//
//   std::unique_ptr<host::PropertyFrame> frame;
//   host::PropertyFrame::Open({.caption = u"Device"}, {filter}, pages, &frame);
//   host::ui::test::Type(host::ui::test::Item(frame->PageWindow(0), 208), u"12000");
//   frame->Ok(); // applies the dirty pages, then closes
#pragma once

#include "plat/olectl.h"

#include <memory>
#include <string>
#include <vector>

namespace host {

// Control ids of the frame's own buttons; tab i is FRAME_TAB_FIRST + i.
constexpr int FRAME_ID_APPLY = 0x3021;
constexpr int FRAME_TAB_FIRST = 0x3100;

// A page class that is not in the sheet, and why.
struct LeftOutPage {
    CLSID clsid{};
    const char* step = ""; // "create", "SetObjects" or "GetPageInfo"
    HRESULT result = S_OK;
};

class PropertyFrame {
public:
    struct Options {
        HWND owner = nullptr;
        std::u16string caption;
        int x = -1, y = -1; // -1: centred on the screen
        LCID lcid = LOCALE_USER_DEFAULT;
    };

    // Creates the pages, builds the frame and shows it with the first page selected. Fails only
    // when the frame window cannot be made; pages that fail are listed in LeftOut().
    static HRESULT Open(const Options& options, const std::vector<IUnknown*>& objects,
                        const std::vector<CLSID>& pages, std::unique_ptr<PropertyFrame>* frame);
    PropertyFrame(const PropertyFrame&) = delete;
    PropertyFrame& operator=(const PropertyFrame&) = delete;
    // Closes the frame as Cancel does when it is still open.
    ~PropertyFrame();

    HWND Window() const;
    bool IsOpen() const;
    size_t PageCount() const;
    std::u16string PageTitle(size_t index) const;
    CLSID PageClass(size_t index) const;
    // The page's window; pages are activated when first selected, so null until then.
    HWND PageWindow(size_t index) const;
    size_t CurrentPage() const;
    bool SelectPage(size_t index);
    const std::vector<LeftOutPage>& LeftOut() const;
    bool ApplyEnabled() const;

    // The Apply button: every dirty page applies; the first failure is returned, its page is
    // selected, and Apply stays enabled.
    HRESULT Apply();
    // OK: applies, and closes when everything applied.
    HRESULT Ok();
    // Cancel: closes without applying.
    void Cancel();
    // Runs the frame modally until it is closed; returns IDOK or IDCANCEL.
    INT_PTR RunModal();

    class Impl;

private:
    explicit PropertyFrame(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The page class ids that an object names through ISpecifyPropertyPages.
HRESULT GetObjectPages(IUnknown* object, std::vector<CLSID>* pages);


} // namespace host
