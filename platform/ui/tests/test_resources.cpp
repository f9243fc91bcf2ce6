// The test program's resources: a dialog with every control kind, a child page, and a
// dialog that opens others.
#include "test_resources.h"

namespace {

const DLGITEMRES kEveryControl[] = {
    rc::GROUPBOX(u"Options", IDC_GROUP, 7, 7, 186, 60),
    rc::AUTOCHECKBOX(u"Enable", IDC_ENABLE, 14, 18, 60, 10),
    rc::CONTROL(u"Manual", IDC_MANUAL, u"Button", BS_CHECKBOX | WS_TABSTOP, 14, 30, 60, 10),
    rc::AUTORADIOBUTTON(u"50 Hz", IDC_50HZ, 80, 18, 50, 10, WS_GROUP),
    rc::AUTORADIOBUTTON(u"60 Hz", IDC_60HZ, 80, 30, 50, 10),
    rc::AUTORADIOBUTTON(u"Out Door", IDC_OUTDOOR, 80, 42, 50, 10, WS_DISABLED),
    rc::AUTORADIOBUTTON(u"Other", IDC_OTHER, 140, 18, 50, 10, WS_GROUP),
    rc::LTEXT(u"Name:", IDC_LABEL, 7, 72, 30, 8),
    rc::EDITTEXT(IDC_NAME, 40, 70, 60, 14, ES_AUTOHSCROLL),
    rc::COMBOBOX(IDC_LIST, 110, 70, 80, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
    rc::ICON(IDI_TEST, IDC_PICTURE, 7, 90),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 88, 130, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 143, 130, 50, 14),
};

const DLGITEMRES kChildPage[] = {
    rc::CONTROL(u"Power Line Frequency", -1, u"Button", 0x50000007, 7, 3, 235, 73),
    rc::CONTROL(u"50 Hz", 201, u"Button", 0x50000009, 18, 36, 63, 12),
    rc::CONTROL(u"60 Hz", 202, u"Button", 0x50000009, 18, 53, 51, 12),
    rc::CONTROL(u"Out Door", 203, u"Button", 0x58000009, 18, 20, 50, 11),
};

const DLGITEMRES kNested[] = {
    rc::PUSHBUTTON(u"Open", IDC_OPEN_NESTED, 7, 7, 50, 14),
    rc::EDITTEXT(IDC_NAME, 7, 30, 60, 14),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 7, 50, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 60, 50, 50, 14),
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_EVERY_CONTROL, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 200, 150,
     u"Every Control", 8, u"MS Shell Dlg", kEveryControl, ARRAYSIZE(kEveryControl)},
    {IDD_CHILD_PAGE, 0x40000040, 0, 0, 0, 249, 97, nullptr, 8, u"MS Sans Serif", kChildPage,
     ARRAYSIZE(kChildPage)},
    {IDD_NESTED, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 0, 0, 0, 120, 70, u"Nested",
     8, u"MS Shell Dlg", kNested, ARRAYSIZE(kNested)},
};

const STRINGRES kStrings[] = {
    {IDS_TITLE, u"Video Properties"},
    {IDS_EMPTY, u""},
    {IDS_LONG, u"A string longer than a small buffer"},
};

const ICONRES kIcons[] = {{IDI_TEST, 32, 32, nullptr, 0}};

const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ARRAYSIZE(kStrings),
                                  kIcons,   ARRAYSIZE(kIcons)};

// Another module: the same template id with other contents.
const DLGITEMRES kOtherPage[] = {rc::EDITTEXT(206, 118, 19, 21, 14)};
const DLGTEMPLATERES kOtherDialogs[] = {
    {IDD_CHILD_PAGE, 0x40000040, 0, 0, 0, 100, 50, nullptr, 8, u"MS Sans Serif", kOtherPage,
     ARRAYSIZE(kOtherPage)},
};
const STRINGRES kOtherStrings[] = {{IDS_TITLE, u"Video Powerline Frequency"}};

} // namespace

const RESOURCETABLE g_otherModuleResources = {
    kOtherDialogs, ARRAYSIZE(kOtherDialogs), kOtherStrings, ARRAYSIZE(kOtherStrings), nullptr, 0};

YRA_REGISTER_RESOURCES(kResources)
