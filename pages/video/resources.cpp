// The video page's dialog, title and version.
#include "pages/video/resource.h"

#include "plat/resource.h"

namespace {

constexpr DWORD GROUP_STYLE = 0x50000007; // child, visible, group box
constexpr DWORD LABEL_STYLE = 0x50020000; // child, visible, group start, left text
constexpr DWORD EDIT_STYLE = 0x50810080;  // child, visible, border, tab stop, auto-scroll

constexpr DLGITEMRES Group(LPCWSTR text, short x, short y, short cx, short cy) {
    return {u"BUTTON", text, -1, GROUP_STYLE, 0, x, y, cx, cy};
}
constexpr DLGITEMRES Label(LPCWSTR text, short x, short y, short cx, short cy) {
    return {u"STATIC", text, -1, LABEL_STYLE, 0, x, y, cx, cy};
}
constexpr DLGITEMRES Edit(int id, short x, short y, short cx, short cy) {
    return {u"EDIT", u"", id, EDIT_STYLE, 0, x, y, cx, cy};
}

// Template order is the tab order of the fields.
const DLGITEMRES kPageItems[] = {
    Group(u"Resolution", 7, 7, 75, 48),
    Group(u"Frame Rate", 90, 7, 75, 49),
    Label(u"H.264", 97, 22, 26, 8),
    Label(u"MJPG", 97, 37, 20, 8),
    Label(u"fps", 143, 22, 15, 8),
    Label(u"fps", 143, 37, 13, 8),
    Edit(IDC_FPS_H264, 118, 19, 21, 14),
    Group(u"GOP Size", 7, 59, 75, 34),
    Edit(IDC_GOP, 13, 71, 20, 14),
    Group(u"Bitrate", 90, 59, 75, 34),
    Edit(IDC_BITRATE, 96, 71, 40, 14),
    Label(u"Kbps", 140, 73, 18, 8),
    Label(u"Width", 19, 22, 26, 8),
    Edit(IDC_FPS_MJPG, 118, 34, 21, 14),
    Label(u"Height", 19, 36, 24, 8),
    Edit(IDC_WIDTH, 44, 19, 25, 14),
    Edit(IDC_HEIGHT, 44, 33, 25, 14),
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_PROPPAGE, WS_CHILD | DS_SETFONT, 0, 0, 0, 249, 97, u"", 8, u"MS Sans Serif", kPageItems,
     ARRAYSIZE(kPageItems)},
};

const STRINGRES kStrings[] = {{IDS_TITLE, u"Video Properties"}};

const VERSIONSTRINGRES kVersionStrings[] = {
    {u"FileDescription", u"Video Control Property Page"},
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
