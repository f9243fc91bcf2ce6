// The capture program's dialog templates, string table and icon.
#include "resource.h"

#include "appfw/app.h"
#include "plat/resource.h"

namespace {

// The main dialog holds only its two column headers; the device rows are made at run time.
const DLGITEMRES kMainDialog[] = {
    rc::LTEXT(u"Name", IDC_STATIC_NAME, 7, 7, 19, 8),
    rc::LTEXT(u"Operation", IDC_STATIC_OPERATION, 256, 7, 33, 8),
};

constexpr DWORD kDropDownList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

const DLGITEMRES kEncodeSetting[] = {
    rc::GROUPBOX(u"Information", IDC_GROUP_INFORMATION, 7, 7, 300, 100),
    rc::LTEXT(u"MCU Version: N/A", IDC_STATIC_MCU_VERSION, 23, 23, 271, 8),
    rc::GROUPBOX(u"Audio", IDC_GROUP_AUDIO, 7, 111, 300, 100),
    rc::AUTOCHECKBOX(u"Enable", IDC_CHECK_AUDIO_ENABLE, 23, 127, 37, 10),
    rc::LTEXT(u"Sample Rate:", IDC_STATIC_SAMPLE_RATE, 23, 143, 44, 8),
    rc::COMBOBOX(IDC_COMBO_SAMPLE_RATE, 75, 143, 100, 100, kDropDownList),
    rc::LTEXT(u"Volume: ", IDC_STATIC_VOLUME, 39, 163, 28, 8),
    rc::COMBOBOX(IDC_COMBO_VOLUME, 75, 163, 100, 100, kDropDownList),
    rc::GROUPBOX(u"Video", IDC_GROUP_VIDEO, 7, 215, 300, 100),
    rc::LTEXT(u"Input Resolution:", IDC_STATIC_INPUT_RESOLUTION, 29, 231, 56, 8),
    rc::COMBOBOX(IDC_COMBO_INPUT_RESOLUTION, 93, 231, 100, 100, kDropDownList),
    rc::LTEXT(u"Encode Resolution:", IDC_STATIC_ENCODE_RESOLUTION, 23, 253, 62, 8),
    rc::COMBOBOX(IDC_COMBO_ENCODE_RESOLUTION, 93, 251, 100, 100, kDropDownList),
    rc::LTEXT(u"Encode Bit Rate:", IDC_STATIC_ENCODE_BITRATE, 31, 271, 54, 8),
    rc::COMBOBOX(IDC_COMBO_ENCODE_BITRATE, 93, 271, 100, 100, kDropDownList),
    rc::DEFPUSHBUTTON(u"OK", IDOK, 208, 322, 50, 14),
    rc::PUSHBUTTON(u"Cancel", IDCANCEL, 264, 322, 50, 14),
};

const DLGTEMPLATERES kDialogs[] = {
    {IDD_YRA_HD_CAPTURE_AP_DIALOG,
     DS_SETFONT | DS_FIXEDSYS | WS_MINIMIZEBOX | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
     WS_EX_APPWINDOW, 0, 0, 363, 362, u"YRA_HD_Capture_AP", 8, u"MS Shell Dlg", kMainDialog,
     ARRAYSIZE(kMainDialog)},
    {IDD_ENCODE_SETTING, DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION, 0, 0, 0, 321, 343,
     u"Encode Setting", 8, u"MS Shell Dlg", kEncodeSetting, ARRAYSIZE(kEncodeSetting)},
};

const STRINGRES kStrings[] = {
    {AFX_IDS_APP_TITLE, u"YRA_HD_Capture_AP"},
};

// 32 x 32 PNG: a screen with a record dot.
const BYTE kMainIconPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x08, 0x06, 0x00, 0x00, 0x00, 0x73, 0x7A, 0x7A,
    0xF4, 0x00, 0x00, 0x00, 0x6F, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0x80, 0x02, 0x19,
    0xAB, 0xBC, 0xFF, 0xF4, 0xC4, 0x0C, 0xC8, 0x80, 0xDE, 0x96, 0xA3, 0x38, 0x62, 0xA0, 0x2C, 0x87,
    0x3B, 0x62, 0xD4, 0x01, 0xA3, 0x0E, 0x18, 0xB4, 0x0E, 0x78, 0xF6, 0xFA, 0x2B, 0x55, 0x31, 0x59,
    0x0E, 0xA0, 0x96, 0x2F, 0x69, 0xE6, 0x80, 0x3B, 0x1A, 0x1A, 0x60, 0x4C, 0x77, 0x07, 0xC0, 0x2C,
    0x46, 0xC7, 0x74, 0x71, 0x00, 0x2E, 0xCB, 0xF1, 0x39, 0x62, 0xD4, 0x01, 0xA3, 0x0E, 0x18, 0x5E,
    0xB9, 0x60, 0x50, 0x94, 0x03, 0x83, 0xA6, 0x24, 0xA4, 0xB9, 0x03, 0x06, 0xB4, 0x32, 0x1A, 0x6D,
    0x0F, 0x50, 0x12, 0x2D, 0xA3, 0x0E, 0x18, 0x6D, 0x94, 0x0E, 0x2D, 0x07, 0x0C, 0x78, 0xE7, 0x74,
    0xA0, 0xBB, 0xE7, 0x00, 0xC3, 0xCD, 0xCA, 0xC2, 0xCD, 0x1B, 0x66, 0x3C, 0x00, 0x00, 0x00, 0x00,
    0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

const ICONRES kIcons[] = {
    {IDR_MAINFRAME, 32, 32, kMainIconPng, sizeof(kMainIconPng)},
};

const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ARRAYSIZE(kStrings),
                                  kIcons,   ARRAYSIZE(kIcons)};

} // namespace

YRA_REGISTER_RESOURCES(kResources)
