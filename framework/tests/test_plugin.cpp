// First test module: an aggregatable class, a filter class that registers itself through
// IAMovieSetup, and a class that cannot live without an owner.
#include "framework/registration.h"
#include "test_object.h"

namespace {

int g_createMode = CreateNormally;
int g_initCalls = 0;

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
    return WithMapper([](IFilterMapper2* pFM2) { return pFM2->UnregisterFilter(nullptr, nullptr, CLSID_TestFilter); });
}

CUnknown* CreateAggregatable(LPUNKNOWN pUnk, HRESULT* phr) {
    switch (g_createMode) {
    case CreateNothing: return nullptr;
    case CreateNothingWithError: *phr = E_ABORT; return nullptr;
    case CreateWithError: *phr = E_ABORT; break;
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
