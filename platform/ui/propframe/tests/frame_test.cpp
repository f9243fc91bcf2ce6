// The property frame against pages that record what the frame asks of them.
#include "host/builtin_classes.h"
#include "host/propframe.h"
#include "host/ui_test.h"
#include "plat/com.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

namespace ui = host::ui::test;

YRA_DEFINE_GUID(CLSID_FirstPage, 0x5E0A0001, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
YRA_DEFINE_GUID(CLSID_SecondPage, 0x5E0A0002, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
YRA_DEFINE_GUID(CLSID_RefusingPage, 0x5E0A0003, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
YRA_DEFINE_GUID(CLSID_MissingPage, 0x5E0A0004, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);

// A page that records every call and whose answers a test sets.
class RecordingPage final : public IPropertyPage {
public:
    explicit RecordingPage(std::u16string title) : title(std::move(title)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyPage) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    HRESULT SetPageSite(IPropertyPageSite* s) override {
        calls.push_back(s ? "SetPageSite" : "SetPageSite(null)");
        if (s) s->AddRef();
        if (site) site->Release();
        site = s;
        return S_OK;
    }
    HRESULT Activate(HWND parent, LPCRECT rect, BOOL) override {
        calls.push_back("Activate");
        window = CreateWindowExW(0, u"#32770", u"", WS_CHILD | WS_VISIBLE, rect->left, rect->top,
                                 rect->right - rect->left, rect->bottom - rect->top, parent, nullptr, nullptr, nullptr);
        return S_OK;
    }
    HRESULT Deactivate() override {
        calls.push_back("Deactivate");
        DestroyWindow(window);
        window = nullptr;
        return S_OK;
    }
    HRESULT GetPageInfo(PROPPAGEINFO* info) override {
        calls.push_back("GetPageInfo");
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc((title.size() + 1) * sizeof(OLECHAR)));
        std::copy(title.c_str(), title.c_str() + title.size() + 1, info->pszTitle);
        info->size = size;
        return S_OK;
    }
    HRESULT SetObjects(ULONG count, IUnknown**) override {
        calls.push_back("SetObjects(" + std::to_string(count) + ")");
        return count ? setObjectsResult : S_OK;
    }
    HRESULT Show(UINT cmd) override {
        calls.push_back(cmd == SW_HIDE ? "Show(hide)" : "Show");
        ShowWindow(window, static_cast<int>(cmd));
        return S_OK;
    }
    HRESULT Move(LPCRECT) override { return S_OK; }
    HRESULT IsPageDirty() override { return dirty ? S_OK : S_FALSE; }
    HRESULT Apply() override {
        calls.push_back("Apply");
        if (SUCCEEDED(applyResult)) dirty = false;
        return applyResult;
    }
    HRESULT Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    void MakeDirty() {
        dirty = true;
        site->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
    int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

    std::u16string title;
    SIZE size{300, 120};
    ULONG refs = 0;
    IPropertyPageSite* site = nullptr;
    HWND window = nullptr;
    std::vector<std::string> calls;
    HRESULT setObjectsResult = S_OK;
    HRESULT applyResult = S_OK;
    bool dirty = false;
};

RecordingPage g_first(u"First");
RecordingPage g_second(u"Second Page");
RecordingPage g_refusing(u"Refusing");

template <RecordingPage* Page> HRESULT CreatePage(IUnknown*, REFIID riid, void** ppv) {
    return Page->QueryInterface(riid, ppv);
}
const host::BuiltinClassRegistrar kFirst(CLSID_FirstPage, CreatePage<&g_first>);
const host::BuiltinClassRegistrar kSecond(CLSID_SecondPage, CreatePage<&g_second>);
const host::BuiltinClassRegistrar kRefusing(CLSID_RefusingPage, CreatePage<&g_refusing>);

// Stands for the device: counts the references the frame and its pages hold.
struct CountedObject final : IUnknown {
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
};

class FrameTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ui::Reset();
        for (RecordingPage* page : {&g_first, &g_second, &g_refusing}) {
            page->calls.clear();
            page->dirty = false;
            page->applyResult = S_OK;
        }
        g_refusing.setObjectsResult = E_FAIL;
    }
    void TearDown() override {
        frame.reset();
        for (RecordingPage* page : {&g_first, &g_second, &g_refusing}) {
            EXPECT_EQ(page->refs, 0u) << host::ui::Utf8(page->title);
            EXPECT_EQ(page->site, nullptr);
        }
        EXPECT_EQ(object.refs, 1u);
        host::ui::ResetWindows();
        CoUninitialize();
    }
    void Open(std::vector<CLSID> pages = {CLSID_FirstPage, CLSID_SecondPage}) {
        ASSERT_EQ(host::PropertyFrame::Open({.caption = u"Device"}, {&object}, pages, &frame), S_OK);
    }
    HWND Button(int id) { return ui::Item(frame->Window(), id); }

    CountedObject object;
    std::unique_ptr<host::PropertyFrame> frame;
};

TEST_F(FrameTest, ShowsThePagesThatTakeTheObjectAsTabs) {
    Open({CLSID_FirstPage, CLSID_RefusingPage, CLSID_MissingPage, CLSID_SecondPage});
    EXPECT_EQ(ui::Text(frame->Window()), u"Device Properties");
    ASSERT_EQ(frame->PageCount(), 2u);
    EXPECT_EQ(frame->PageTitle(0), u"First");
    EXPECT_EQ(frame->PageTitle(1), u"Second Page");
    EXPECT_EQ(ui::Text(Button(host::FRAME_TAB_FIRST)), u"First");
    EXPECT_EQ(ui::Text(Button(host::FRAME_TAB_FIRST + 1)), u"Second Page");

    ASSERT_EQ(frame->LeftOut().size(), 2u);
    EXPECT_EQ(frame->LeftOut()[0].clsid, CLSID_RefusingPage);
    EXPECT_STREQ(frame->LeftOut()[0].step, "SetObjects");
    EXPECT_EQ(frame->LeftOut()[0].result, E_FAIL);
    EXPECT_EQ(frame->LeftOut()[1].result, REGDB_E_CLASSNOTREG);
    // A page that refused is let go at once, and told so.
    EXPECT_EQ(g_refusing.calls, (std::vector<std::string>{"SetPageSite", "SetObjects(1)", "SetObjects(0)",
                                                          "SetPageSite(null)"}));
    EXPECT_EQ(g_refusing.refs, 0u);
    EXPECT_EQ(g_first.calls, (std::vector<std::string>{"SetPageSite", "SetObjects(1)", "GetPageInfo", "Activate"}));
}

TEST_F(FrameTest, SwitchingTabsHidesPagesWithoutDeactivatingThem) {
    Open();
    EXPECT_EQ(frame->PageWindow(1), nullptr) << "activated before it was shown";
    EXPECT_EQ(ui::Check(Button(host::FRAME_TAB_FIRST)), BST_CHECKED);
    ASSERT_TRUE(ui::Click(Button(host::FRAME_TAB_FIRST + 1)));
    EXPECT_EQ(frame->CurrentPage(), 1u);
    EXPECT_EQ(ui::Check(Button(host::FRAME_TAB_FIRST)), BST_UNCHECKED);
    EXPECT_FALSE(ui::Visible(frame->PageWindow(0)));
    EXPECT_TRUE(ui::Visible(frame->PageWindow(1)));
    ASSERT_TRUE(ui::Click(Button(host::FRAME_TAB_FIRST)));
    EXPECT_TRUE(ui::Visible(frame->PageWindow(0)));
    EXPECT_EQ(g_first.Count("Activate"), 1);
    EXPECT_EQ(g_first.Count("Deactivate"), 0);
    EXPECT_EQ(g_first.Count("Show(hide)"), 1);
    // Every page fits the page area.
    RECT area = ui::Rect(frame->PageWindow(0));
    EXPECT_GE(area.right - area.left, 300);
}

TEST_F(FrameTest, ApplyIsEnabledByAPageThatReportsEdits) {
    Open();
    ui::Click(Button(host::FRAME_TAB_FIRST + 1));
    EXPECT_FALSE(ui::Enabled(Button(host::FRAME_ID_APPLY)));
    g_second.MakeDirty();
    EXPECT_TRUE(ui::Enabled(Button(host::FRAME_ID_APPLY)));
    ASSERT_TRUE(ui::Click(Button(host::FRAME_ID_APPLY)));
    EXPECT_EQ(g_second.Count("Apply"), 1);
    EXPECT_EQ(g_first.Count("Apply"), 0) << "a clean page was applied";
    EXPECT_FALSE(ui::Enabled(Button(host::FRAME_ID_APPLY)));
    EXPECT_TRUE(frame->IsOpen());
}

TEST_F(FrameTest, AFailedApplyKeepsTheSheetOpenOnThatPage) {
    Open();
    g_first.MakeDirty();
    g_first.applyResult = E_INVALIDARG;
    ui::Click(Button(host::FRAME_TAB_FIRST + 1));
    ASSERT_TRUE(ui::Click(Button(IDOK)));
    EXPECT_TRUE(frame->IsOpen());
    EXPECT_EQ(frame->CurrentPage(), 0u);
    EXPECT_TRUE(frame->ApplyEnabled());
    ASSERT_EQ(ui::MessageBoxes().size(), 1u);
    EXPECT_NE(ui::MessageBoxes()[0].text.find(u"First"), std::u16string::npos);
    g_first.applyResult = S_OK;
    EXPECT_EQ(frame->Ok(), S_OK);
    EXPECT_FALSE(frame->IsOpen());
}

TEST_F(FrameTest, OkAppliesAndLetsGoOfEveryPage) {
    Open();
    ui::Click(Button(host::FRAME_TAB_FIRST + 1));
    g_second.MakeDirty();
    HWND window = frame->Window();
    ASSERT_TRUE(ui::Click(Button(IDOK)));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_second.calls, (std::vector<std::string>{"SetPageSite", "SetObjects(1)", "GetPageInfo", "Activate",
                                                        "Apply", "Deactivate", "SetObjects(0)",
                                                        "SetPageSite(null)"}));
    EXPECT_EQ(g_second.refs, 0u);
    EXPECT_EQ(g_first.Count("Deactivate"), 1);
}

TEST_F(FrameTest, CancelAndClosingApplyNothing) {
    Open();
    g_first.MakeDirty();
    ASSERT_TRUE(ui::Click(Button(IDCANCEL)));
    EXPECT_FALSE(frame->IsOpen());
    EXPECT_EQ(g_first.Count("Apply"), 0);

    Open();
    g_first.MakeDirty();
    ASSERT_TRUE(ui::Close(frame->Window()));
    EXPECT_FALSE(frame->IsOpen());
    EXPECT_EQ(g_first.Count("Apply"), 0);
}

TEST_F(FrameTest, ThePlatformEntryRunsTheSheetModally) {
    CLSID pages[] = {CLSID_FirstPage, CLSID_SecondPage};
    IUnknown* objects[] = {&object};
    ui::OnNextModal([](HWND dlg) {
        EXPECT_EQ(ui::Text(dlg), u"Device Properties");
        g_first.MakeDirty();
        ui::Click(dlg, IDOK);
    });
    EXPECT_EQ(OleCreatePropertyFrame(nullptr, 10, 10, u"Device", 1, objects, 2, pages, LOCALE_USER_DEFAULT, 0,
                                     nullptr),
              S_OK);
    EXPECT_EQ(g_first.Count("Apply"), 1);
    EXPECT_TRUE(ui::Surprises().empty());
}

// An object whose query for the page list claims success without giving the interface.
struct ClaimingObject final : IUnknown {
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr;
        return riid == IID_IUnknown || riid == IID_ISpecifyPropertyPages ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
};

TEST(ObjectPages, AListClaimedButNotGivenIsNoInterface) {
    ClaimingObject object;
    std::vector<CLSID> pages{CLSID_FirstPage};
    EXPECT_EQ(host::GetObjectPages(&object, &pages), E_NOINTERFACE);
    EXPECT_TRUE(pages.empty());
}

TEST_F(FrameTest, ASheetWithoutPagesStillOpens) {
    Open({CLSID_RefusingPage});
    EXPECT_EQ(frame->PageCount(), 0u);
    EXPECT_NE(ui::FindChild(frame->Window(), u"This object has no property pages that can be shown."), nullptr);
    EXPECT_EQ(frame->Ok(), S_OK);
}

} // namespace
