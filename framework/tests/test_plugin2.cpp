// Second test module: one filter class, registered the way the demultiplexer registers, with
// two pins that have no name, as the demultiplexer's have none.
#include "framework/registration.h"
#include "test_object.h"

namespace {

WCHAR g_szNoName[] = u"";
const AMOVIESETUP_MEDIATYPE kTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_RAW_AAC1}};
const AMOVIESETUP_MEDIATYPE kVideoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_H264},
                                             {&MEDIATYPE_Video, &MEDIASUBTYPE_AVC1}};
const AMOVIESETUP_MEDIATYPE kStreamTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"audio; \"main\""), FALSE, TRUE, FALSE, TRUE, &CLSID_NULL, nullptr, 1, kTypes},
    {g_szNoName, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 2, kVideoTypes},
    {g_szNoName, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, kStreamTypes},
};
const AMOVIESETUP_FILTER kSetupSecond = {&CLSID_TestSecond, u"YRA Test Second", MERIT_NORMAL, 3, kPins};

CUnknown* CreateSecond(LPUNKNOWN pUnk, HRESULT*) { return new CTestObject(u"Second", pUnk); }

} // namespace

const FactoryTemplate g_FactoryTemplates[] = {
    {u"YRA Test Second", &CLSID_TestSecond, CreateSecond, nullptr, &kSetupSecond},
};
const int g_cTemplates = 1;

HRESULT DllRegisterServer() { return RegisterFiltersWithMapper(TRUE); }
HRESULT DllUnregisterServer() { return RegisterFiltersWithMapper(FALSE); }

YRA_TEST_EXPORT LONG YraTestObjectsActive() { return CBaseObject::ObjectsActive(); }
