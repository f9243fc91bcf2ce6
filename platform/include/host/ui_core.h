// The window core's host-side interface: what a display driver needs (window state, change
// notifications, user actions fed back as the same messages real controls send), driver
// selection, and the logs that tests read. The platform API itself is in plat/ui.h.
#pragma once

#include "plat/ui.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::ui {

enum class Kind { Desktop, Dialog, Button, Static, Edit, ComboBox };

struct ComboItem {
    std::u16string text;
    LONG_PTR data = 0;
};

// A copy of one window's state.
struct WindowInfo {
    HWND hwnd = nullptr;
    Kind kind = Kind::Desktop;
    std::u16string className;
    int id = 0;
    std::u16string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr; // the parent of a child window
    HWND owner = nullptr;  // the owner of a top-level window
    RECT window{};         // child: in the parent's client coordinates; top-level: screen
    RECT insets{};         // non-client frame widths on each side
    int check = BST_UNCHECKED;
    std::vector<ComboItem> items;
    int curSel = CB_ERR;
    UINT limit = 0;
    HFONT font = nullptr;
    HICON icon = nullptr; // static SS_ICON image, or the dialog's big icon
    HICON smallIcon = nullptr;
    bool modal = false;
    std::vector<HWND> children;

    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool iconic() const { return (style & WS_MINIMIZE) != 0; }
    bool child() const { return (style & WS_CHILD) != 0; }
    LONG width() const { return window.right - window.left; }
    LONG height() const { return window.bottom - window.top; }
    RECT client() const {
        return {0, 0, width() - insets.left - insets.right, height() - insets.top - insets.bottom};
    }
};

bool GetWindowInfo(HWND hwnd, WindowInfo* info);
std::vector<HWND> ChildWindows(HWND parent); // creation order
std::vector<HWND> TopLevelWindows();         // creation order, the desktop excluded

// Font and icon objects, for drivers that draw them.
bool GetFontInfo(HFONT font, LOGFONTW* lf);
struct IconInfo {
    int cx = 32, cy = 32;
    const BYTE* png = nullptr;
    size_t pngSize = 0;
};
bool GetIconInfo(HICON icon, IconInfo* info);

// What changed in a window, for WindowChanged.
enum Change : unsigned {
    kChangeText = 1u << 0,
    kChangeStyle = 1u << 1, // includes enable, visibility and the minimised state
    kChangeGeometry = 1u << 2,
    kChangeCheck = 1u << 3,
    kChangeItems = 1u << 4,
    kChangeSelection = 1u << 5,
    kChangeFont = 1u << 6,
    kChangeIcon = 1u << 7,
};

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    int result = 0;

    UINT icon() const { return type & MB_ICONMASK; }
    UINT buttonSet() const { return type & MB_TYPEMASK; }
    std::vector<int> buttons() const; // in the order the box shows them
    int defaultButton() const;
};

struct FileFilter {
    std::u16string description;
    std::u16string pattern; // "*.ts" or "*.a;*.b"
};

struct FileDialogRequest {
    HWND owner = nullptr;
    bool save = true;
    std::vector<FileFilter> filters;
    int filterIndex = 1;        // 1-based
    std::u16string initialName; // may be a pattern such as "*.ts"
    std::u16string initialDir;
    std::u16string defaultExt;
    std::u16string title;
    DWORD flags = 0;
};

struct FileDialogAnswer {
    bool ok = false;
    std::u16string path;
    int filterIndex = 1;
};

// A display driver. The core owns all state; a driver shows it and reports what a person
// does through the User* calls below. Every call comes from the GUI thread.
class Driver {
public:
    virtual ~Driver() = default;
    virtual const char* Name() const = 0;
    virtual void WindowCreated(HWND) {}
    virtual void WindowDestroyed(HWND) {}
    virtual void WindowChanged(HWND, unsigned /*Change bits*/) {}
    virtual void FocusChanged(HWND /*now focused, may be null*/) {}
    virtual void Invalidated(HWND) {}
    virtual void IconDrawn(HDC, int /*x*/, int /*y*/, HICON) {}
    // Runs the modal loop of a dialog; returns once IsModalEnded(dlg) or the dialog is gone.
    virtual void RunModalLoop(HWND dlg) = 0;
    virtual void ModalEnded(HWND) {}
    virtual void MessagesPosted() {}
    // Returns the chosen ID* button, or 0 when the box could not be shown.
    virtual int ShowMessageBox(const MessageBoxRecord& box) = 0;
    virtual FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) = 0;
    virtual bool Screenshot(HWND, const std::string& /*pngPath*/) { return false; }
};

// The driver in use. Chosen at first need: YRA_UI=qt|headless, otherwise Qt when
// DISPLAY or WAYLAND_DISPLAY is set and the Qt module loads, otherwise headless.
Driver& CurrentDriver();
void SetDriver(std::unique_ptr<Driver> driver);
bool SelectDriver(std::string_view name); // "qt" or "headless"; false when it cannot be had
// Empty when Qt can open a display here (a platform that needs none, such as
// QT_QPA_PLATFORM=offscreen, or an X or Wayland server that answers); otherwise why not. Asked
// before Qt starts, since Qt ends the process when it finds no display.
std::string DisplayProblem();
std::unique_ptr<Driver> MakeHeadlessDriver();

bool IsModalEnded(HWND dlg);
void DispatchPostedMessages();

// What a person does, as the platform's controls report it. Each returns false when the
// window cannot take the action (gone, hidden, disabled, wrong kind).
bool UserClick(HWND button);                          // focus, auto check/radio, BN_CLICKED
bool UserType(HWND edit, std::u16string_view text);   // replaces the text key by key
bool UserSetEditText(HWND edit, std::u16string_view); // the whole text at once, one EN_CHANGE
bool UserFocus(HWND window);                          // EN_KILLFOCUS / EN_SETFOCUS ...
bool UserSelect(HWND combo, int index);               // CBN_SELCHANGE
bool UserClose(HWND window);                          // WM_CLOSE
bool UserPressEnter(HWND dlg);                        // the default button, or IDOK
bool UserPressEscape(HWND dlg);                       // IDCANCEL
bool UserSetMinimized(HWND window, bool minimized);
void UserPaint(HWND window); // WM_PAINT

bool Screenshot(HWND window, const std::string& pngPath);

// Logs kept by the core, whatever the driver.
std::vector<MessageBoxRecord> MessageBoxLog();
void ClearMessageBoxLog();
struct IconDraw {
    HWND hwnd;
    int x, y;
    HICON icon;
};
std::vector<IconDraw> IconDrawLog();
// Things a driver met that nobody asked for (an unscripted dialog, an unanswered box).
void RecordSurprise(std::string what);
std::vector<std::string> Surprises();

// Destroys every window and clears the logs and the posted-message queue.
void ResetWindows();

std::string Utf8(std::u16string_view s);
std::u16string Utf16(std::string_view s);
std::u16string ApplyDefaultExtension(std::u16string path, std::u16string_view defaultExt);

} // namespace host::ui
