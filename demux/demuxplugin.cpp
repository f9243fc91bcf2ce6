// The plug-in's class table, its filter registration data, its registration entry points and its
// version record.
#include "demux/demuxfilter.h"
#include "demux/mediatypes.h"
#include "framework/registration.h"
#include "plat/resource.h"

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

namespace {

const VERSIONSTRINGRES kVersionStrings[] = {
    {u"FileDescription", u"VEL DualFmt Demux"},
    {u"ProductName", u"VEL DualFmt Demux"},
    {u"ActiveMovie", u"VEL DualFmt Demux"},
    {u"OLESelfRegister", u"AM20"},
    {u"InternalName", u"VELDualFmtDemux.ax"},
    {u"OriginalFilename", u"VELDualFmtDemux.ax"},
    {u"FileVersion", u"1, 0, 1, 3"},
    {u"ProductVersion", u"1, 0, 1, 3"},
};

const VERSIONINFORES kVersion = {{1, 0, 1, 3}, {1, 0, 1, 3}, kVersionStrings, ARRAYSIZE(kVersionStrings)};

// The module has no dialogs, strings or icons: only its version record.
const RESOURCETABLE kResources = {nullptr, 0, nullptr, 0, nullptr, 0, &kVersion};

} // namespace

YRA_REGISTER_RESOURCES(kResources)
