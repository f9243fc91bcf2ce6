// Second test module: one filter class, registered the way the demultiplexer registers.
#include "framework/registration.h"
#include "test_object.h"

namespace {

const AMOVIESETUP_MEDIATYPE kTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_RAW_AAC1}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"audio; \"main\""), FALSE, TRUE, FALSE, TRUE, &CLSID_NULL, nullptr, 1, kTypes},
};
const AMOVIESETUP_FILTER kSetupSecond = {&CLSID_TestSecond, u"YRA Test Second", MERIT_NORMAL, 1, kPins};

CUnknown* CreateSecond(LPUNKNOWN pUnk, HRESULT*) { return new CTestObject(u"Second", pUnk); }

} // namespace

const FactoryTemplate g_FactoryTemplates[] = {
    {u"YRA Test Second", &CLSID_TestSecond, CreateSecond, nullptr, &kSetupSecond},
};
const int g_cTemplates = 1;

HRESULT DllRegisterServer() { return RegisterFiltersWithMapper(TRUE); }
HRESULT DllUnregisterServer() { return RegisterFiltersWithMapper(FALSE); }

YRA_TEST_EXPORT LONG YraTestObjectsActive() { return CBaseObject::ObjectsActive(); }
