// Resources as data: each module describes its dialog templates, string table, icons and
// version record in its resources.cpp and registers them under its module handle (its load address) when it
// is loaded, so that two modules may use the same ids without meeting.
//
//   static const DLGITEMRES kItems[] = {
//       rc::LTEXT(u"Name", 1000, 7, 7, 19, 8),
//       rc::DEFPUSHBUTTON(u"OK", IDOK, 208, 322, 50, 14),
//   };
//   static const DLGTEMPLATERES kDialogs[] = {
//       {102, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 363, 362, u"Title", 8, u"MS Shell Dlg",
//        kItems, ARRAYSIZE(kItems)},
//   };
//   static const RESOURCETABLE kResources = {kDialogs, ARRAYSIZE(kDialogs), kStrings, ..., kIcons, ...};
//   YRA_REGISTER_RESOURCES(kResources)
//
// Positions are dialog units; the window core converts them with the template font's base units.
#pragma once

#include "plat/ui.h"

// One control of a dialog template.
struct DLGITEMRES {
    LPCWSTR className; // u"BUTTON", u"STATIC", u"EDIT", u"COMBOBOX"
    LPCWSTR text;      // caption; for SS_ICON statics the icon id as MAKEINTRESOURCEW(id)
    int id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

// A dialog template. pointSize/typeface are used when the style has DS_SETFONT.
struct DLGTEMPLATERES {
    int id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    LPCWSTR caption;
    WORD pointSize;
    LPCWSTR typeface;
    const DLGITEMRES* items;
    int itemCount;
};

struct STRINGRES {
    UINT id;
    LPCWSTR text;
};

// An icon: its nominal size and optional PNG bytes for drivers that draw.
struct ICONRES {
    int id;
    int cx, cy;
    const BYTE* png;
    size_t pngSize;
};

// One entry of a version record's string table: "FileDescription", "FileVersion", ...
struct VERSIONSTRINGRES {
    LPCWSTR key;
    LPCWSTR value;
};

// A module's version record, what a version resource carries: the file and product version
// numbers, most significant part first (1.0.1.3 is {1, 0, 1, 3}), and the string table.
struct VERSIONINFORES {
    WORD fileVersion[4];
    WORD productVersion[4];
    const VERSIONSTRINGRES* strings;
    int stringCount;
};

struct RESOURCETABLE {
    const DLGTEMPLATERES* dialogs;
    int dialogCount;
    const STRINGRES* strings;
    int stringCount;
    const ICONRES* icons;
    int iconCount;
    // The module's version record, or none.
    const VERSIONINFORES* version = nullptr;
};

YRA_PLATFORM_API void YraRegisterResources(HINSTANCE hModule, const RESOURCETABLE* table);
YRA_PLATFORM_API void YraUnregisterResources(HINSTANCE hModule);
// The version record of a loaded module, by its handle (its load address), or none when the
// module registered none. It lives in the module: valid while the module stays loaded.
YRA_PLATFORM_API const VERSIONINFORES* YraFindVersionInfo(HINSTANCE hModule);
// The value filed under key in a version record's string table, or none.
YRA_PLATFORM_API LPCWSTR YraVersionString(const VERSIONINFORES* pInfo, LPCWSTR key);

// Registers a module's table for as long as the module is loaded, under the handle the loader
// gives the module that holds the registration.
#define YRA_REGISTER_RESOURCES(table)                                                                        \
    namespace {                                                                                              \
    struct YraResourceRegistration {                                                                         \
        HINSTANCE module = nullptr;                                                                          \
        YraResourceRegistration() {                                                                          \
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |                                      \
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,                             \
                               reinterpret_cast<LPCWSTR>(this), &module);                                    \
            YraRegisterResources(module, &(table));                                                          \
        }                                                                                                    \
        ~YraResourceRegistration() { YraUnregisterResources(module); }                                       \
    } g_yraResourceRegistration;                                                                             \
    }

// The resource script's control statements, with the styles the resource compiler adds.
namespace rc {
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

constexpr DLGITEMRES CONTROL(LPCWSTR text, int id, LPCWSTR cls, DWORD style, short x, short y, short cx,
                             short cy, DWORD exStyle = 0) {
    return {cls, text, id, kChild | style, exStyle, x, y, cx, cy};
}
constexpr DLGITEMRES LTEXT(LPCWSTR text, int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return {u"STATIC", text, id, kChild | WS_GROUP | SS_LEFT | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES RTEXT(LPCWSTR text, int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return {u"STATIC", text, id, kChild | WS_GROUP | SS_RIGHT | style, 0, x, y, cx, cy};
}
inline DLGITEMRES ICON(int iconId, int id, short x, short y) {
    return {u"STATIC", MAKEINTRESOURCEW(iconId), id, kChild | SS_ICON, 0, x, y, 21, 20};
}
constexpr DLGITEMRES PUSHBUTTON(LPCWSTR text, int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return {u"BUTTON", text, id, kChild | WS_TABSTOP | BS_PUSHBUTTON | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES DEFPUSHBUTTON(LPCWSTR text, int id, short x, short y, short cx, short cy,
                                   DWORD style = 0) {
    return {u"BUTTON", text, id, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES GROUPBOX(LPCWSTR text, int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return {u"BUTTON", text, id, kChild | BS_GROUPBOX | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES AUTOCHECKBOX(LPCWSTR text, int id, short x, short y, short cx, short cy,
                                  DWORD style = 0) {
    return {u"BUTTON", text, id, kChild | WS_TABSTOP | BS_AUTOCHECKBOX | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES AUTORADIOBUTTON(LPCWSTR text, int id, short x, short y, short cx, short cy,
                                     DWORD style = 0) {
    return {u"BUTTON", text, id, kChild | BS_AUTORADIOBUTTON | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES EDITTEXT(int id, short x, short y, short cx, short cy, DWORD style = 0) {
    return {u"EDIT", u"", id, kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | style, 0, x, y, cx, cy};
}
constexpr DLGITEMRES COMBOBOX(int id, short x, short y, short cx, short cy, DWORD style) {
    return {u"COMBOBOX", u"", id, kChild | style, 0, x, y, cx, cy};
}
} // namespace rc
