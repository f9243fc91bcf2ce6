// The module's resources on this host: only its version record (the resource script carries it
// on the platform itself).
#include "plat/resource.h"

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
