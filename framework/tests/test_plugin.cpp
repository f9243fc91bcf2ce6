// First test module: an aggregatable class, a filter class that registers itself through
// IAMovieSetup, a class that cannot live without an owner, and a class that is only registered.
#include "framework/registration.h"
#include "test_object.h"

#include <new>

namespace {

int g_createMode = CreateNormally;
int g_initCalls = 0;
// What the filter's own registration answers instead of doing its work; S_OK does the work.
HRESULT g_setupRegisterResult = S_OK;
HRESULT g_setupUnregisterResult = S_OK;
bool g_failNothrowNew = false;
// Called after an object of this module was released and deleted, still inside its release.
void (*g_afterRelease)() = nullptr;

// An object whose last release runs a hook on the way out, while its module's code still runs.
class CHookedObject final : public CTestObject {
public:
    explicit CHookedObject(LPUNKNOWN pUnk) : CTestObject(u"Hooked", pUnk) {}
    ULONG NonDelegatingRelease() override {
        void (*pfnAfter)() = g_afterRelease;
        ULONG n = CTestObject::NonDelegatingRelease();
        if (n == 0 && pfnAfter) pfnAfter();
        return n;
    }
};

class CTestFilter final : public CTestObject, public IAMovieSetup {
public:
    explicit CTestFilter(LPUNKNOWN pUnk) : CTestObject(u"Test filter", pUnk) {}
    DECLARE_IUNKNOWN

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
        return CTestObject::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT Register() override;
    HRESULT Unregister() override;
};

const AMOVIESETUP_MEDIATYPE kStreamTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_TRANSPORT}};
const AMOVIESETUP_MEDIATYPE kVideoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_H264},
                                               {&MEDIATYPE_Video, &MEDIASUBTYPE_AVC1}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"in"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kStreamTypes},
    {const_cast<LPWSTR>(u"out"), FALSE, TRUE, TRUE, FALSE, &CLSID_NULL, nullptr, 2, kVideoTypes},
};
const AMOVIESETUP_FILTER kSetupFilter = {&CLSID_TestFilter, u"YRA Test Filter", MERIT_UNLIKELY, 2, kPins};

HRESULT WithMapper(HRESULT (*use)(IFilterMapper2*)) {
    IFilterMapper2* pFM2 = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&pFM2));
    if (FAILED(hr)) return hr;
    hr = use(pFM2);
    pFM2->Release();
    return hr;
}

HRESULT CTestFilter::Register() {
    if (g_setupRegisterResult != S_OK) return g_setupRegisterResult;
    return WithMapper([](IFilterMapper2* pFM2) {
        REGFILTER2 rf2{};
        rf2.dwVersion = 1;
        rf2.dwMerit = kSetupFilter.dwMerit;
        rf2.cPins = kSetupFilter.nPins;
        rf2.rgPins = kSetupFilter.lpPin;
        return pFM2->RegisterFilter(CLSID_TestFilter, kSetupFilter.strName, nullptr, nullptr, nullptr, &rf2);
    });
}

HRESULT CTestFilter::Unregister() {
    if (g_setupUnregisterResult != S_OK) return g_setupUnregisterResult;
    return WithMapper([](IFilterMapper2* pFM2) { return pFM2->UnregisterFilter(nullptr, nullptr, CLSID_TestFilter); });
}

CUnknown* CreateAggregatable(LPUNKNOWN pUnk, HRESULT* phr) {
    switch (g_createMode) {
    case CreateNothing: return nullptr;
    case CreateNothingWithError: *phr = E_ABORT; return nullptr;
    case CreateWithError: *phr = E_ABORT; break;
    case CreateHooked: return new CHookedObject(pUnk);
    default: break;
    }
    return new CTestObject(u"Aggregatable", pUnk);
}

CUnknown* CreateFilter(LPUNKNOWN pUnk, HRESULT*) { return new CTestFilter(pUnk); }

CUnknown* CreateNeedsOwner(LPUNKNOWN pUnk, HRESULT* phr) {
    if (!pUnk) {
        *phr = VFW_E_NEED_OWNER;
        return nullptr;
    }
    return new CTestObject(u"Needs owner", pUnk);
}

void CountInit(BOOL bLoading, const CLSID*) {
    if (bLoading) ++g_initCalls;
}

} // namespace

const FactoryTemplate g_FactoryTemplates[] = {
    {u"YRA Test Aggregatable", &CLSID_TestAggregatable, CreateAggregatable, CountInit, nullptr},
    {u"YRA Test Filter", &CLSID_TestFilter, CreateFilter, nullptr, &kSetupFilter},
    {u"YRA Test Needs Owner", &CLSID_TestNeedsOwner, CreateNeedsOwner, nullptr, nullptr},
    {u"YRA Test Registered Only", &CLSID_TestRegisteredOnly, nullptr, nullptr, nullptr},
};
const int g_cTemplates = sizeof(g_FactoryTemplates) / sizeof(g_FactoryTemplates[0]);

HRESULT DllRegisterServer() { return RegisterServersAndSetup(); }
HRESULT DllUnregisterServer() { return UnregisterServersAndSetup(); }

// Hooks for the tests.
YRA_TEST_EXPORT void YraTestSetCreateMode(int mode) { g_createMode = mode; }
YRA_TEST_EXPORT int YraTestInitCalls() { return g_initCalls; }
YRA_TEST_EXPORT LONG YraTestObjectsActive() { return CBaseObject::ObjectsActive(); }
YRA_TEST_EXPORT HRESULT YraTestRegisterFiltersWithMapper(BOOL bRegister) {
    return RegisterFiltersWithMapper(bRegister);
}
YRA_TEST_EXPORT HRESULT YraTestUnregisterServerEntries() { return UnregisterServerEntries(); }
YRA_TEST_EXPORT void YraTestSetSetupResults(HRESULT hrRegister, HRESULT hrUnregister) {
    g_setupRegisterResult = hrRegister;
    g_setupUnregisterResult = hrUnregister;
}
YRA_TEST_EXPORT void YraTestFailNothrowNew(bool bFail) { g_failNothrowNew = bFail; }
YRA_TEST_EXPORT void YraTestSetAfterRelease(void (*pfn)()) { g_afterRelease = pfn; }

// This module's own nothrow allocation (the module binds its calls to it), which a test can make
// fail.
void* operator new(std::size_t cb, const std::nothrow_t&) noexcept {
    if (g_failNothrowNew) return nullptr;
    try {
        return ::operator new(cb);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
