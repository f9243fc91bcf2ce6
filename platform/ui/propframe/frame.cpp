// The property frame: pages created by class id, each with a site, shown one at a time under a
// strip of tab buttons, with OK, Cancel and Apply.
#include "frame_impl.h"
#include "host/result_names.h"
#include "host/ui_core.h"
#include "plat/resource.h"

#include <algorithm>
#include <utility>

namespace host {
namespace {

// The frame's own template; its controls depend on the pages and are added at run time.
constexpr int FRAME_TEMPLATE = 1;
const DLGTEMPLATERES kFrameDialogs[] = {
    {FRAME_TEMPLATE, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, WS_EX_CONTROLPARENT, 0, 0,
     200, 100, u"Properties", 8, u"MS Shell Dlg", nullptr, 0},
};
const RESOURCETABLE kFrameResources = {kFrameDialogs, ARRAYSIZE(kFrameDialogs), nullptr, 0, nullptr, 0};

// The frame is part of the host library, which has no resources of its own; its table is filed
// under a handle that no module can have.
HINSTANCE FrameResources() {
    static HINSTANCE handle = [] {
        auto h = reinterpret_cast<HINSTANCE>(const_cast<RESOURCETABLE*>(&kFrameResources));
        YraRegisterResources(h, &kFrameResources);
        return h;
    }();
    return handle;
}

// Pixels, at the frame font's 6 x 13 base units: 7 dialog units of margin, 4 between
// controls, 50 x 14 buttons.
constexpr int MARGIN = 11;
constexpr int GAP = 6;
constexpr int BUTTON_CX = 75;
constexpr int BUTTON_CY = 23;
constexpr int CHAR_CX = 6;

INT_PTR FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;
    }
    auto* impl = reinterpret_cast<PropertyFrame::Impl*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!impl) return FALSE;
    if (msg == WM_COMMAND) return impl->OnCommand(LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

} // namespace

PropertyFrame::Impl::Impl(const Options& options, const std::vector<IUnknown*>& objects)
    : m_options(options), m_objects(objects) {
    for (IUnknown* object : m_objects) object->AddRef();
}

PropertyFrame::Impl::~Impl() {
    Close(IDCANCEL);
    for (FramePage& page : m_pages) ReleasePage(page);
    for (IUnknown* object : m_objects) object->Release();
}

void PropertyFrame::Impl::ReleasePage(FramePage& page) {
    if (page.page) {
        if (page.window) page.page->Deactivate();
        page.window = nullptr;
        page.page->SetObjects(0, nullptr);
        page.page->SetPageSite(nullptr);
        SafeRelease(page.page);
    }
    if (page.site) {
        page.site->Detach();
        SafeRelease(page.site);
    }
}

void PropertyFrame::Impl::AddPage(REFCLSID clsid) {
    FramePage page;
    page.clsid = clsid;
    auto leaveOut = [&](const char* step, HRESULT hr) {
        ReleasePage(page);
        m_leftOut.push_back({clsid, step, hr});
    };
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                  reinterpret_cast<void**>(&page.page));
    if (FAILED(hr)) {
        page.page = nullptr;
        return leaveOut("create", hr);
    }
    page.site = new PageSite(
        [this] {
            if (m_hwnd) EnableWindow(GetDlgItem(m_hwnd, FRAME_ID_APPLY), TRUE);
        },
        m_options.lcid);
    page.page->SetPageSite(page.site);
    hr = page.page->SetObjects(static_cast<ULONG>(m_objects.size()), m_objects.data());
    if (FAILED(hr)) return leaveOut("SetObjects", hr);
    PROPPAGEINFO info{};
    info.cb = sizeof(info);
    hr = page.page->GetPageInfo(&info);
    if (FAILED(hr)) return leaveOut("GetPageInfo", hr);
    page.title = info.pszTitle ? info.pszTitle : u"";
    page.size = info.size;
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    m_pages.push_back(page);
}

HWND PropertyFrame::Impl::AddControl(LPCWSTR text, int id, DWORD style, int x, int y, int cx, int cy) {
    HWND control = CreateWindowExW(0, u"Button", text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, m_hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (control && m_font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
}

void PropertyFrame::Impl::LayOut() {
    m_font = reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
    // The tab strip: automatic radio buttons drawn as push buttons, one group.
    int x = MARGIN;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        int cx = std::max(BUTTON_CX, static_cast<int>(m_pages[i].title.size()) * CHAR_CX + 2 * MARGIN);
        DWORD style = BS_AUTORADIOBUTTON | BS_PUSHLIKE | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        AddControl(m_pages[i].title.c_str(), FRAME_TAB_FIRST + static_cast<int>(i), style, x, MARGIN, cx,
                   BUTTON_CY);
        x += cx;
    }
    int tabsRight = x;
    int pageCx = 0, pageCy = 0;
    for (const FramePage& page : m_pages) {
        pageCx = std::max<int>(pageCx, page.size.cx);
        pageCy = std::max<int>(pageCy, page.size.cy);
    }
    if (m_pages.empty()) {
        pageCx = 3 * BUTTON_CX;
        pageCy = BUTTON_CY;
    }
    int pageTop = MARGIN + BUTTON_CY + GAP;
    m_pageRect = {MARGIN, pageTop, MARGIN + pageCx, pageTop + pageCy};
    int clientCx = std::max({MARGIN + pageCx + MARGIN, tabsRight + MARGIN, 2 * MARGIN + 3 * BUTTON_CX + 2 * GAP});
    int buttonsTop = m_pageRect.bottom + MARGIN;
    int clientCy = buttonsTop + BUTTON_CY + MARGIN;
    if (m_pages.empty()) {
        HWND note = CreateWindowExW(0, u"Static", u"This object has no property pages that can be shown.",
                                    WS_CHILD | WS_VISIBLE | SS_LEFT, MARGIN, pageTop, clientCx - 2 * MARGIN,
                                    BUTTON_CY, m_hwnd, nullptr, nullptr, nullptr);
        if (note && m_font) SendMessageW(note, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    }

    int right = clientCx - MARGIN;
    AddControl(u"OK", IDOK, WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, right - 3 * BUTTON_CX - 2 * GAP, buttonsTop,
               BUTTON_CX, BUTTON_CY);
    AddControl(u"Cancel", IDCANCEL, WS_TABSTOP, right - 2 * BUTTON_CX - GAP, buttonsTop, BUTTON_CX, BUTTON_CY);
    AddControl(u"&Apply", FRAME_ID_APPLY, WS_TABSTOP | WS_DISABLED, right - BUTTON_CX, buttonsTop, BUTTON_CX,
               BUTTON_CY);

    // Size the window around the client area the controls need, and place it.
    RECT window{}, client{};
    GetWindowRect(m_hwnd, &window);
    GetClientRect(m_hwnd, &client);
    int cx = clientCx + (window.right - window.left) - client.right;
    int cy = clientCy + (window.bottom - window.top) - client.bottom;
    POINT origin{m_options.x, m_options.y};
    if (origin.x < 0 || origin.y < 0) {
        origin = {(GetSystemMetrics(SM_CXSCREEN) - cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - cy) / 2};
    } else if (m_options.owner) {
        ClientToScreen(m_options.owner, &origin);
    }
    SetWindowPos(m_hwnd, nullptr, origin.x, origin.y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT PropertyFrame::Impl::CreateWindowAndShow() {
    m_hwnd = CreateDialogParamW(FrameResources(), MAKEINTRESOURCEW(FRAME_TEMPLATE), m_options.owner, FrameProc,
                                reinterpret_cast<LPARAM>(this));
    if (!m_hwnd) return E_OUTOFMEMORY;
    std::u16string caption = m_options.caption.empty() ? u"Properties" : m_options.caption + u" Properties";
    SetWindowTextW(m_hwnd, caption.c_str());
    LayOut();
    if (!m_pages.empty()) SelectPage(0);
    ShowWindow(m_hwnd, SW_SHOW);
    return S_OK;
}

bool PropertyFrame::Impl::SelectPage(size_t index) {
    if (!m_hwnd || index >= m_pages.size()) return false;
    // A page stays active, with its edits, until the frame closes; switching only hides it.
    if (index != m_current && m_current < m_pages.size() && m_pages[m_current].window)
        m_pages[m_current].page->Show(SW_HIDE);
    m_current = index;
    FramePage& page = m_pages[index];
    if (page.window) {
        page.page->Show(SW_SHOW);
    } else {
        std::vector<HWND> before = ui::ChildWindows(m_hwnd);
        HRESULT hr = page.page->Activate(m_hwnd, &m_pageRect, TRUE);
        for (HWND child : ui::ChildWindows(m_hwnd))
            if (std::find(before.begin(), before.end(), child) == before.end()) page.window = child;
        if (FAILED(hr) && page.window) {
            page.page->Deactivate();
            page.window = nullptr;
        }
    }
    CheckRadioButton(m_hwnd, FRAME_TAB_FIRST, FRAME_TAB_FIRST + static_cast<int>(m_pages.size()) - 1,
                     FRAME_TAB_FIRST + static_cast<int>(index));
    return true;
}

bool PropertyFrame::Impl::ApplyEnabled() const {
    return m_hwnd && IsWindowEnabled(GetDlgItem(m_hwnd, FRAME_ID_APPLY));
}

HRESULT PropertyFrame::Impl::Apply() {
    if (!m_hwnd) return E_UNEXPECTED;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        IPropertyPage* page = m_pages[i].page;
        if (page->IsPageDirty() != S_OK) continue;
        HRESULT hr = page->Apply();
        if (FAILED(hr)) {
            // The edits stay, and the page that holds them is shown.
            SelectPage(i);
            std::u16string text = u"The changes on the page \"" + m_pages[i].title +
                                  u"\" could not be applied (" + ui::Utf16(FormatResult(hr)) + u").";
            MessageBoxW(m_hwnd, text.c_str(), u"Properties", MB_OK | MB_ICONEXCLAMATION);
            return hr;
        }
    }
    EnableWindow(GetDlgItem(m_hwnd, FRAME_ID_APPLY), FALSE);
    return S_OK;
}

HRESULT PropertyFrame::Impl::Ok() {
    HRESULT hr = Apply();
    if (SUCCEEDED(hr)) Close(IDOK);
    return hr;
}

void PropertyFrame::Impl::Close(INT_PTR result) {
    if (!m_hwnd) return;
    m_result = result;
    // Pages leave before the window that holds theirs.
    for (FramePage& page : m_pages) ReleasePage(page);
    m_pages.clear();
    HWND hwnd = std::exchange(m_hwnd, nullptr);
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    EndDialog(hwnd, result);
    DestroyWindow(hwnd);
}

INT_PTR PropertyFrame::Impl::RunModal() {
    HWND owner = m_options.owner;
    bool disabledOwner = owner && IsWindowEnabled(owner);
    if (disabledOwner) EnableWindow(owner, FALSE);
    if (m_hwnd) ui::CurrentDriver().RunModalLoop(m_hwnd);
    // A driver may end the loop without the frame closing itself (no one to ask): that is Cancel.
    Close(IDCANCEL);
    if (disabledOwner) EnableWindow(owner, TRUE);
    return m_result;
}

BOOL PropertyFrame::Impl::OnCommand(int id, int code) {
    if (id == IDOK) {
        Ok();
    } else if (id == IDCANCEL) {
        Cancel();
    } else if (id == FRAME_ID_APPLY) {
        Apply();
    } else if (id >= FRAME_TAB_FIRST && id < FRAME_TAB_FIRST + static_cast<int>(m_pages.size()) &&
               code == BN_CLICKED) {
        SelectPage(static_cast<size_t>(id - FRAME_TAB_FIRST));
    } else {
        return FALSE;
    }
    return TRUE;
}

// ---- the public face --------------------------------------------------------------------------

PropertyFrame::PropertyFrame(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
PropertyFrame::~PropertyFrame() = default;

HRESULT PropertyFrame::Open(const Options& options, const std::vector<IUnknown*>& objects,
                            const std::vector<CLSID>& pages, std::unique_ptr<PropertyFrame>* frame) {
    if (!frame) return E_POINTER;
    frame->reset();
    for (IUnknown* object : objects)
        if (!object) return E_POINTER;
    auto impl = std::make_unique<Impl>(options, objects);
    for (const CLSID& clsid : pages) impl->AddPage(clsid);
    HRESULT hr = impl->CreateWindowAndShow();
    if (FAILED(hr)) return hr;
    frame->reset(new PropertyFrame(std::move(impl)));
    return S_OK;
}

HWND PropertyFrame::Window() const { return m_impl->Window(); }
bool PropertyFrame::IsOpen() const { return m_impl->IsOpen(); }
size_t PropertyFrame::PageCount() const { return m_impl->Pages().size(); }
std::u16string PropertyFrame::PageTitle(size_t index) const {
    return index < PageCount() ? m_impl->Pages()[index].title : std::u16string();
}
CLSID PropertyFrame::PageClass(size_t index) const {
    return index < PageCount() ? m_impl->Pages()[index].clsid : GUID_NULL;
}
HWND PropertyFrame::PageWindow(size_t index) const {
    return index < PageCount() ? m_impl->Pages()[index].window : nullptr;
}
size_t PropertyFrame::CurrentPage() const { return m_impl->CurrentPage(); }
bool PropertyFrame::SelectPage(size_t index) { return m_impl->SelectPage(index); }
const std::vector<LeftOutPage>& PropertyFrame::LeftOut() const { return m_impl->LeftOut(); }
bool PropertyFrame::ApplyEnabled() const { return m_impl->ApplyEnabled(); }
HRESULT PropertyFrame::Apply() { return m_impl->Apply(); }
HRESULT PropertyFrame::Ok() { return m_impl->Ok(); }
void PropertyFrame::Cancel() { m_impl->Cancel(); }
INT_PTR PropertyFrame::RunModal() { return m_impl->RunModal(); }

} // namespace host
