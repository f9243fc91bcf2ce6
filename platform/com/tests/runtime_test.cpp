#include "host/builtin_classes.h"
#include "plat/com.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

YRA_DEFINE_GUID(CLSID_TestBuiltin, 0x1D1C2A5B, 0x0C0E, 0x4E55, 0x9A, 0x11, 0x7A, 0x52, 0x3B, 0x61, 0x2C, 0x01);
YRA_DEFINE_GUID(CLSID_Unknown, 0x1D1C2A5B, 0x0C0E, 0x4E55, 0x9A, 0x11, 0x7A, 0x52, 0x3B, 0x61, 0x2C, 0x02);

struct Thing final : IUnknown {
    ULONG refs = 0;
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG n = --refs;
        if (!n) delete this;
        return n;
    }
};

HRESULT CreateThing(IUnknown*, REFIID riid, void** ppv) {
    auto* t = new Thing;
    t->AddRef();
    HRESULT hr = t->QueryInterface(riid, ppv);
    t->Release();
    return hr;
}
host::BuiltinClassRegistrar g_reg(CLSID_TestBuiltin, CreateThing);

TEST(Runtime, InitialisationCountsPerThreadAndChecksMode) {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    std::thread([] {
        // Another thread starts uninitialised and may choose its own mode.
        IUnknown* p = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_TestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&p)),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    }).join();
    CoUninitialize();
    CoUninitialize();
}

TEST(Runtime, CreatesBuiltinClassesAndRefusesUnknownOnes) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IUnknown* p = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              S_OK);
    EXPECT_EQ(p->Release(), 0u);
    EXPECT_EQ(CoCreateInstance(CLSID_Unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_TestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
    CoUninitialize();
}

} // namespace
