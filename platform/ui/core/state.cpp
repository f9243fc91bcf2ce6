// The core's state, lookups, strings and fixed metrics.
#include "host/utf.h"
#include "state.h"

namespace host::ui {

// Fixed metrics of the host's "display": 96 dots per inch, 1920 x 1080, classic frame sizes.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kCaption = 23;
constexpr int kFixedFrame = 3;
constexpr int kSizeFrame = 4;
constexpr int kBorder = 1;
constexpr int kEdge = 2;

State& S() {
    static State* state = [] {
        auto* s = new State;
        auto desktop = std::make_shared<Window>();
        desktop->hwnd = static_cast<HWND>(s->NewHandle());
        desktop->kind = Kind::Desktop;
        desktop->className = u"#32769";
        desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        desktop->rect = {0, 0, kScreenWidth, kScreenHeight};
        desktop->wndProc = DefWindowProcW;
        s->desktop = desktop->hwnd;
        s->windows[desktop->hwnd] = desktop;
        return s;
    }();
    return *state;
}

std::shared_ptr<Window> Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto lock = Locked();
    auto it = S().windows.find(hwnd);
    return it == S().windows.end() ? nullptr : it->second;
}

Window* FindLocked(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto it = S().windows.find(hwnd);
    return it == S().windows.end() ? nullptr : it->second.get();
}

void NotifyChanged(HWND hwnd, unsigned changes) {
    if (changes) CurrentDriver().WindowChanged(hwnd, changes);
}

void NotifyParent(HWND control, WORD code) {
    HWND parent = nullptr;
    int id = 0;
    {
        auto lock = Locked();
        Window* w = FindLocked(control);
        if (!w || !(w->style & WS_CHILD)) return;
        parent = w->parent;
        id = w->id;
    }
    if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

RECT NonClientInsets(DWORD style, DWORD exStyle) {
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizeFrame;
    else if ((style & WS_DLGFRAME) || (style & DS_MODALFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += kEdge;
    else if (exStyle & WS_EX_STATICEDGE)
        frame += kBorder;
    int caption = (style & WS_CAPTION) == WS_CAPTION ? kCaption : 0;
    return {frame, frame + caption, frame, frame};
}

POINT ClientOriginOnScreen(HWND hwnd) {
    auto lock = Locked();
    POINT p{0, 0};
    for (Window* w = FindLocked(hwnd); w && w->kind != Kind::Desktop;) {
        RECT in = NonClientInsets(w->style, w->exStyle);
        p.x += w->rect.left + in.left;
        p.y += w->rect.top + in.top;
        if (!(w->style & WS_CHILD)) break;
        w = FindLocked(w->parent);
    }
    return p;
}

std::u16string CopyString(LPCWSTR s) {
    return s ? std::u16string(s) : std::u16string();
}

int CopyToBuffer(std::u16string_view text, LPWSTR buffer, int cch) {
    if (!buffer || cch <= 0) return 0;
    int n = static_cast<int>(std::min<size_t>(text.size(), static_cast<size_t>(cch - 1)));
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

static char16_t Fold(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

// The window core shares the host's one UTF-8/UTF-16 converter.
std::string Utf8(std::u16string_view s) { return Utf8FromWide(s); }

std::u16string Utf16(std::string_view s) { return WideFromUtf8(s); }

std::u16string ApplyDefaultExtension(std::u16string path, std::u16string_view defaultExt) {
    if (defaultExt.empty() || path.empty()) return path;
    size_t slash = path.find_last_of(u'/');
    size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    if (path.find(u'.', name) != std::u16string::npos) return path;
    path += u'.';
    path += defaultExt;
    return path;
}

std::vector<int> MessageBoxRecord::buttons() const {
    switch (buttonSet()) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
        return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default:
        return {IDOK};
    }
}

int MessageBoxRecord::defaultButton() const {
    auto all = buttons();
    size_t index = (type & MB_DEFMASK) >> 8;
    return index < all.size() ? all[index] : all[0];
}

std::vector<MessageBoxRecord> MessageBoxLog() {
    auto lock = Locked();
    return S().boxes;
}

void ClearMessageBoxLog() {
    auto lock = Locked();
    S().boxes.clear();
}

std::vector<IconDraw> IconDrawLog() {
    auto lock = Locked();
    return S().iconDraws;
}

void RecordSurprise(std::string what) {
    auto lock = Locked();
    S().surprises.push_back(std::move(what));
}

std::vector<std::string> Surprises() {
    auto lock = Locked();
    return S().surprises;
}

} // namespace host::ui

using namespace host::ui;

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXSCREEN:
        return kScreenWidth;
    case SM_CYSCREEN:
        return kScreenHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return kFixedFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kSizeFrame;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return kEdge;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    long long product = static_cast<long long>(nNumber) * nNumerator;
    // Rounds half away from zero, as the platform does.
    long long half = (nDenominator > 0 ? nDenominator : -nDenominator) / 2;
    bool negative = (product < 0) != (nDenominator < 0);
    long long a = product < 0 ? -product : product;
    long long d = nDenominator < 0 ? -static_cast<long long>(nDenominator) : nDenominator;
    long long q = (a + half) / d;
    q = negative ? -q : q;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<int>(q);
}
