// The power-line page's dialog, title and version.
#include "pages/power/resource.h"

#include "plat/resource.h"

namespace {

constexpr DWORD GROUP_STYLE = 0x50000007;    // child, visible, group box
constexpr DWORD RADIO_STYLE = 0x50000009;    // child, visible, automatic radio button
constexpr DWORD DISABLED_RADIO = 0x58000009; // the same, disabled: it only shows the state

// The three buttons are one group: checking one unchecks the others.
const DLGITEMRES kPageItems[] = {
    {u"BUTTON", u"Power Line Frequency", -1, GROUP_STYLE, 0, 7, 3, 235, 73},
    {u"BUTTON", u"50 Hz", IDC_50HZ, RADIO_STYLE, 0, 18, 36, 63, 12},
    {u"BUTTON", u"60 Hz", IDC_60HZ, RADIO_STYLE, 0, 18, 53, 51, 12},
    {u"BUTTON", u"Out Door", IDC_OUTDOOR, DISABLED_RADIO, 0, 18, 20, 50, 11},
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_PROPPAGE, WS_CHILD | DS_SETFONT, 0, 0, 0, 249, 97, u"", 8, u"MS Sans Serif", kPageItems,
     ARRAYSIZE(kPageItems)},
};

const STRINGRES kStrings[] = {{IDS_TITLE, u"Video Powerline Frequency"}};

const VERSIONSTRINGRES kVersionStrings[] = {
    {u"FileDescription", u"Powerline Control Property Page"},
    {u"ProductName", PAGE_SERVER_NAME},
    {u"FileVersion", PAGE_VERSION_TEXT},
    {u"ProductVersion", PAGE_VERSION_TEXT},
};

const VERSIONINFORES kVersion = {PAGE_VERSION_NUMBERS, PAGE_VERSION_NUMBERS, kVersionStrings,
                                 ARRAYSIZE(kVersionStrings)};

const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ARRAYSIZE(kStrings), nullptr, 0,
                                  &kVersion};

} // namespace

YRA_REGISTER_RESOURCES(kResources)
