// The framework tests' resources: a main dialog whose rows are made at run time, and a
// settings dialog with a check box and two drop-down lists.
#include "appfw_resources.h"

#include "appfw/app.h"

namespace {

const DLGITEMRES kMain[] = {
    rc::LTEXT(u"Name", IDC_NAME_HEADER, 7, 7, 19, 8),
    rc::LTEXT(u"Operation", IDC_OPERATION_HEADER, 256, 7, 33, 8),
};

const DLGITEMRES kSettings[] = {
    rc::AUTOCHECKBOX(u"Enable", IDC_ENABLE, 23, 127, 37, 10),
    rc::COMBOBOX(IDC_RATE, 75, 143, 100, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
    rc::COMBOBOX(IDC_VOLUME, 75, 163, 100, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 208, 322, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 264, 322, 50, 14),
};

// Two radio groups: the first three buttons, and one on its own.
const DLGITEMRES kRadios[] = {
    rc::AUTORADIOBUTTON(u"50 Hz", IDC_50HZ, 7, 7, 50, 10, WS_GROUP),
    rc::AUTORADIOBUTTON(u"60 Hz", IDC_60HZ, 7, 19, 50, 10),
    rc::AUTORADIOBUTTON(u"Out Door", IDC_OUTDOOR, 7, 31, 50, 10),
    rc::AUTORADIOBUTTON(u"Other", IDC_OTHER, 7, 43, 50, 10, WS_GROUP),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 7, 60, 50, 14, WS_GROUP),
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_MAIN, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | DS_SETFONT,
     0, 0, 0, 363, 362, u"Main", 8, u"MS Shell Dlg", kMain, ARRAYSIZE(kMain)},
    {IDD_SETTINGS, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 321, 343, u"Encode Setting",
     8, u"MS Shell Dlg", kSettings, ARRAYSIZE(kSettings)},
    {IDD_RADIOS, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 100, 80, u"Radios", 8,
     u"MS Shell Dlg", kRadios, ARRAYSIZE(kRadios)},
};

const STRINGRES kStrings[] = {{AFX_IDS_APP_TITLE, u"Framework Test"}};
const ICONRES kIcons[] = {{IDR_MAINFRAME, 32, 32, nullptr, 0}};

const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ARRAYSIZE(kStrings),
                                  kIcons,   ARRAYSIZE(kIcons)};

} // namespace

YRA_REGISTER_RESOURCES(kResources)
