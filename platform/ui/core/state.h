// The window core's state: every window, font and icon object, the focus, the posted
// messages and the logs. One lock guards it; window procedures are always called with the
// lock released, so a procedure may call back into the core from any depth.
#pragma once

#include "host/ui_core.h"
#include "plat/resource.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace host::ui {

struct Window {
    HWND hwnd = nullptr;
    Kind kind = Kind::Desktop;
    std::u16string className;
    int id = 0;
    std::u16string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children;
    RECT rect{};
    HINSTANCE instance = nullptr;
    WNDPROC wndProc = nullptr;
    DLGPROC dlgProc = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR dlgUser = 0;
    LONG_PTR msgResult = 0;
    HFONT font = nullptr;
    HFONT ownedFont = nullptr; // a dialog's template font, deleted with the dialog
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    int baseX = 8, baseY = 16; // dialog base units
    int defId = 0;
    // controls
    int check = BST_UNCHECKED;
    std::vector<ComboItem> items;
    int curSel = CB_ERR;
    int droppedHeight = 0;
    UINT limit = 0x7FFF;
    bool selectAll = false; // the next key replaces the whole text
    // modal state
    bool modal = false;
    bool modalEnded = false;
    INT_PTR modalResult = 0;
    bool disabledOwner = false;
    bool invalid = false;
    bool destroyed = false;
};

struct FontObject {
    LOGFONTW lf{};
    bool stock = false;
};

struct IconObject {
    IconInfo info;
};

class State {
public:
    std::recursive_mutex mu;
    std::unordered_map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;
    HWND desktop = nullptr;
    HWND focus = nullptr;
    std::unordered_map<void*, FontObject> fonts;
    std::unordered_map<void*, IconObject> icons;
    std::map<std::pair<HINSTANCE, int>, HICON> loadedIcons;
    std::map<int, HFONT> stockFonts;
    std::map<HINSTANCE, const RESOURCETABLE*> resources;
    std::deque<MSG> posted;
    std::vector<MessageBoxRecord> boxes;
    std::vector<IconDraw> iconDraws;
    std::vector<std::string> surprises;
    std::unique_ptr<Driver> driver;
    uintptr_t nextHandle = 0x10000;

    void* NewHandle() {
        nextHandle += 4;
        return reinterpret_cast<void*>(nextHandle);
    }
};

// The one state. Never destroyed: drivers and module destructors may still call in at exit.
State& S();
using Lock = std::unique_lock<std::recursive_mutex>;
inline Lock Locked() {
    return Lock(S().mu);
}

// Lookups; the returned window stays valid memory even if it is destroyed meanwhile.
std::shared_ptr<Window> Find(HWND hwnd);
// Caller holds the lock.
Window* FindLocked(HWND hwnd);

// Driver notifications; call without the lock.
void NotifyChanged(HWND hwnd, unsigned changes);

// Sends WM_COMMAND with a notification code from a control to its parent.
void NotifyParent(HWND control, WORD code);

// Non-client frame of a window of this style, fixed metrics (see docs/architecture.md).
RECT NonClientInsets(DWORD style, DWORD exStyle);

// Screen position of a window's client-area origin.
POINT ClientOriginOnScreen(HWND hwnd);

// The class procedures of the system classes.
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);

// Creates a window of a system class; used by CreateWindowExW and the dialog builder.
HWND CreateWindowInternal(DWORD exStyle, Kind kind, std::u16string className, std::u16string_view text,
                          DWORD style, RECT rect, HWND parent, int id, HINSTANCE instance);
bool ClassKindFromName(LPCWSTR className, Kind* kind, std::u16string* canonical);

const DLGTEMPLATERES* FindDialogTemplate(HINSTANCE instance, LPCWSTR name);
HICON LoadIconFrom(HINSTANCE instance, int id);
HFONT CreateFontObject(const LOGFONTW& lf);
void DeleteFontObject(HFONT font);

// Base units of a template font: fixed average character metrics, 6 x 13 pixels at 8 points,
// scaled with the point size; the system font (no DS_SETFONT) is 8 x 16.
void TemplateBaseUnits(const DLGTEMPLATERES& t, int* baseX, int* baseY);

std::u16string CopyString(LPCWSTR s);
// Copies into a caller's buffer of cch characters with the terminator; returns characters copied.
int CopyToBuffer(std::u16string_view text, LPWSTR buffer, int cch);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

} // namespace host::ui
