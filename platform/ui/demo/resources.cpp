// The demo's dialogs.
#include "resource.h"

#include "appfw/app.h"
#include "plat/resource.h"

namespace {

const DLGITEMRES kDemo[] = {
    rc::ICON(IDR_MAINFRAME, -1, 7, 7),
    rc::LTEXT(u"Every kind of control the window core offers, shown by the selected driver.", -1, 36, 10, 200,
              16),
    rc::GROUPBOX(u"Audio", -1, 7, 32, 120, 62),
    rc::AUTOCHECKBOX(u"Enable", IDC_ENABLE, 15, 44, 60, 10),
    rc::LTEXT(u"Sample Rate:", -1, 15, 60, 44, 8),
    rc::COMBOBOX(IDC_RATE, 62, 58, 58, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
    rc::LTEXT(u"Volume:", -1, 15, 76, 44, 8),
    rc::COMBOBOX(IDC_VOLUME, 62, 74, 58, 100, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
    rc::GROUPBOX(u"Power Line Frequency", -1, 134, 32, 110, 62),
    rc::AUTORADIOBUTTON(u"50 Hz", IDC_50HZ, 142, 46, 60, 12, WS_GROUP | WS_TABSTOP),
    rc::AUTORADIOBUTTON(u"60 Hz", IDC_60HZ, 142, 62, 60, 12),
    rc::LTEXT(u"Name:", -1, 7, 104, 30, 8),
    rc::EDITTEXT(IDC_NAME, 40, 102, 130, 14, ES_AUTOHSCROLL),
    rc::PUSHBUTTON(u"Save As...", IDC_SAVE_AS, 176, 102, 68, 14),
    rc::LTEXT(u"No file chosen.", IDC_PATH, 7, 122, 237, 10, SS_SUNKEN),
    rc::PUSHBUTTON(u"Settings...", IDC_SETTINGS, 7, 142, 60, 14),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 138, 142, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 194, 142, 50, 14),
};

const DLGITEMRES kSettings[] = {
    rc::LTEXT(u"MCU Version: N/A", -1, 7, 7, 120, 8),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 20, 30, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 76, 30, 50, 14),
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_DEMO, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
     0, 0, 0, 251, 163, u"Window Core Demo", 8, u"MS Shell Dlg", kDemo, ARRAYSIZE(kDemo)},
    {IDD_SETTINGS, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 133, 51, u"Encode Setting", 8,
     u"MS Shell Dlg", kSettings, ARRAYSIZE(kSettings)},
};

const STRINGRES kStrings[] = {{AFX_IDS_APP_TITLE, u"yra-ui-demo"}};
const ICONRES kIcons[] = {{IDR_MAINFRAME, 32, 32, nullptr, 0}};

const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ARRAYSIZE(kStrings),
                                  kIcons,   ARRAYSIZE(kIcons)};

} // namespace

YRA_REGISTER_RESOURCES(kResources)
