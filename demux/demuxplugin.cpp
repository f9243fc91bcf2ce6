// The plug-in's class table, its filter registration data and its registration entry points.
#include "demux/demuxfilter.h"
#include "demux/mediatypes.h"
#include "framework/registration.h"

namespace {

const AMOVIESETUP_MEDIATYPE kVideoPinTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_AVC1},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_H264},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_H264_Offered},
};
const AMOVIESETUP_MEDIATYPE kAudioPinTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_RAW_AAC1}};
// Only the program stream is registered, although the pin takes transport streams as well.
const AMOVIESETUP_MEDIATYPE kInputPinTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM}};

WCHAR g_szNoName[] = u"";

const AMOVIESETUP_PIN kPins[] = {
    {g_szNoName, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, ARRAYSIZE(kVideoPinTypes), kVideoPinTypes},
    {g_szNoName, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, ARRAYSIZE(kAudioPinTypes), kAudioPinTypes},
    {g_szNoName, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, ARRAYSIZE(kInputPinTypes), kInputPinTypes},
};

const AMOVIESETUP_FILTER kDemuxSetup = {&CLSID_DemuxFilter, DEMUX_FILTER_NAME, MERIT_NORMAL, ARRAYSIZE(kPins), kPins};

} // namespace

const FactoryTemplate g_FactoryTemplates[] = {
    {DEMUX_FILTER_NAME, &CLSID_DemuxFilter, CPsTsDemuxFilter::CreateInstance, nullptr, &kDemuxSetup},
};
const int g_cTemplates = ARRAYSIZE(g_FactoryTemplates);

HRESULT DllRegisterServer() { return RegisterFiltersWithMapper(TRUE); }

HRESULT DllUnregisterServer() { return RegisterFiltersWithMapper(FALSE); }
