// Pages created by class id from their registered modules, a device model behind a control
// filter, a site that counts what pages tell it, and a parent window to activate pages in.
#pragma once

#include "host/device_ks.h"
#include "host/ui_test.h"
#include "pages/common/pageids.h"
#include "plat/com.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Class ids in test names and messages as their registry text.
inline void PrintTo(const GUID& guid, std::ostream* os) {
    OLECHAR text[GUID_STRING_CHARS];
    StringFromGUID2(guid, text, GUID_STRING_CHARS);
    for (const OLECHAR* p = text; *p; ++p) *os << static_cast<char>(*p);
}

namespace page_testing {

using host::PropertyAccess;
using host::PropertyCall;
namespace ui = host::ui::test;

inline const char* const kVideoModule = YRA_VIDEO_PAGE_MODULE;
inline const char* const kPowerModule = YRA_POWER_PAGE_MODULE;

// A module's own entry point, from the copy the component runtime loads.
template <class Fn> Fn* ModuleEntry(const char* path, const char* name) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return module ? reinterpret_cast<Fn*>(dlsym(module, name)) : nullptr;
}
inline HRESULT RegisterModule(const char* path) {
    auto* fn = ModuleEntry<HRESULT()>(path, "DllRegisterServer");
    return fn ? fn() : E_FAIL;
}
inline HRESULT UnregisterModule(const char* path) {
    auto* fn = ModuleEntry<HRESULT()>(path, "DllUnregisterServer");
    return fn ? fn() : E_FAIL;
}

// Counts what a page tells its site, and the references the page holds on it.
class CountingSite final : public IPropertyPageSite {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT OnStatusChange(DWORD flags) override {
        statusChanges.push_back(flags);
        return S_OK;
    }
    HRESULT GetLocaleID(LCID* lcid) override {
        *lcid = 0x0409;
        return S_OK;
    }
    HRESULT GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    std::atomic<ULONG> refs{1};
    std::vector<DWORD> statusChanges;
};

// A device model behind a pinless filter.
struct Device {
    explicit Device(host::DeviceConfig config = {}) : model(std::make_shared<host::DeviceModel>(config)) {
        EXPECT_EQ(host::CreateDeviceControlFilter(model, &filter), S_OK);
    }
    ~Device() { EXPECT_EQ(filter->Release(), 0u) << "a page kept a reference to the device"; }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // References held on the filter, by anyone.
    ULONG Refs() {
        filter->AddRef();
        return filter->Release();
    }
    // A node-4 value as a page would write it.
    void SetNode4(ULONG id, int32_t w0, int32_t w1) {
        IKsControl* control = nullptr;
        ASSERT_EQ(filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(&control)), S_OK);
        KSP_NODE request{{PROPSETID_EXT_NODE4, id, KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY}, 4, 0};
        int32_t words[2] = {w0, w1};
        ULONG returned = 0;
        EXPECT_EQ(control->KsProperty(&request.Property, sizeof request, words, sizeof words, &returned), S_OK);
        control->Release();
        model->ClearCalls();
    }
    // The calls of one kind the device received since the log was cleared.
    std::vector<PropertyCall> Calls(REFGUID set, ULONG id, PropertyAccess access) const {
        std::vector<PropertyCall> out;
        for (const PropertyCall& call : model->Calls())
            if (call.set == set && call.id == id && call.access == access) out.push_back(call);
        return out;
    }
    std::vector<PropertyCall> Sets() const {
        std::vector<PropertyCall> out;
        for (const PropertyCall& call : model->Calls())
            if (call.access == PropertyAccess::Set) out.push_back(call);
        return out;
    }

    std::shared_ptr<host::DeviceModel> model;
    IBaseFilter* filter = nullptr;
};

class PageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ui::Reset();
        ASSERT_EQ(RegisterModule(kVideoModule), S_OK);
        ASSERT_EQ(RegisterModule(kPowerModule), S_OK);
        parent = CreateWindowExW(0, u"#32770", u"Frame", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        host::ui::ResetWindows();
        CoUninitialize();
    }

    static IPropertyPage* CreatePage(REFCLSID clsid) {
        IPropertyPage* page = nullptr;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                   reinterpret_cast<void**>(&page)),
                  S_OK);
        return page;
    }
    static HRESULT Connect(IPropertyPage* page, Device& device) {
        IUnknown* objects[] = {device.filter};
        return page->SetObjects(1, objects);
    }
    // Sited, connected and activated in the parent: the page's window, or null.
    HWND Open(IPropertyPage* page, Device& device) {
        EXPECT_EQ(page->SetPageSite(&site), S_OK);
        EXPECT_EQ(Connect(page, device), S_OK);
        std::vector<HWND> before = host::ui::ChildWindows(parent);
        EXPECT_EQ(page->Activate(parent, &kPageRect, TRUE), S_OK);
        for (HWND child : host::ui::ChildWindows(parent))
            if (std::find(before.begin(), before.end(), child) == before.end()) return child;
        return nullptr;
    }

    static constexpr RECT kPageRect{10, 40, 384, 198};
    HWND parent = nullptr;
    CountingSite site;
};

inline int32_t Word(const PropertyCall& call, size_t offset) { return static_cast<int32_t>(call.Word(offset)); }

} // namespace page_testing
