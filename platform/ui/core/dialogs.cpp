// Dialogs from templates, modeless and modal, and dialog-unit conversion.
#include "state.h"

namespace host::ui {

void TemplateBaseUnits(const DLGTEMPLATERES& t, int* baseX, int* baseY) {
    if (!(t.style & DS_SETFONT) || t.pointSize == 0) {
        *baseX = 8;
        *baseY = 16;
        return;
    }
    *baseX = MulDiv(6, t.pointSize, 8);
    *baseY = MulDiv(13, t.pointSize, 8);
}

namespace {

void OffsetRectBy(RECT* r, POINT d) {
    r->left += d.x;
    r->right += d.x;
    r->top += d.y;
    r->bottom += d.y;
}

RECT MapRect(int baseX, int baseY, int x, int y, int cx, int cy) {
    int left = MulDiv(x, baseX, 4), top = MulDiv(y, baseY, 8);
    return {left, top, left + MulDiv(cx, baseX, 4), top + MulDiv(cy, baseY, 8)};
}

HWND FirstTabStop(HWND dlg) {
    for (HWND c : ChildWindows(dlg)) {
        WindowInfo info;
        if (GetWindowInfo(c, &info) && (info.style & WS_TABSTOP) && info.visible() && info.enabled())
            return c;
    }
    return nullptr;
}

HWND BuildDialog(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param, bool modal) {
    const DLGTEMPLATERES* t = FindDialogTemplate(instance, name);
    if (!t) return nullptr;
    if ((t->style & WS_CHILD) && !parent) return nullptr;
    int baseX, baseY;
    TemplateBaseUnits(*t, &baseX, &baseY);
    DWORD style = t->style & ~WS_VISIBLE;
    RECT client = MapRect(baseX, baseY, t->x, t->y, t->cx, t->cy);
    RECT in = NonClientInsets(style, t->exStyle);
    int width = client.right - client.left + in.left + in.right;
    int height = client.bottom - client.top + in.top + in.bottom;
    RECT rect{client.left, client.top, client.left + width, client.top + height};
    if (!(style & WS_CHILD)) {
        POINT origin{0, 0};
        if (style & DS_CENTER) {
            origin = {(GetSystemMetrics(SM_CXSCREEN) - width) / 2 - client.left,
                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2 - client.top};
        } else if (parent && !(style & DS_ABSALIGN)) {
            origin = ClientOriginOnScreen(parent);
        }
        OffsetRectBy(&rect, origin);
    }
    HWND dlg = CreateWindowInternal(t->exStyle, Kind::Dialog, u"#32770", CopyString(t->caption), style, rect,
                                    parent, 0, instance);
    if (!dlg) return nullptr;
    HFONT font = nullptr;
    {
        auto lock = Locked();
        Window* w = FindLocked(dlg);
        w->baseX = baseX;
        w->baseY = baseY;
        w->dlgProc = proc;
        w->modal = modal;
    }
    if ((t->style & DS_SETFONT) && t->typeface) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(t->pointSize, 96, 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        std::u16string_view face(t->typeface);
        std::copy_n(face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
        font = CreateFontObject(lf);
        auto lock = Locked();
        FindLocked(dlg)->ownedFont = font;
    }
    if (font) SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (int i = 0; i < t->itemCount; ++i) {
        const DLGITEMRES& item = t->items[i];
        RECT r = MapRect(baseX, baseY, item.x, item.y, item.cx, item.cy);
        HWND control = CreateWindowExW(
            item.exStyle, item.className, item.text, item.style | WS_CHILD, r.left, r.top, r.right - r.left,
            r.bottom - r.top, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            if (t->style & DS_NOFAILCREATE) continue;
            DestroyWindow(dlg);
            return nullptr;
        }
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND first = FirstTabStop(dlg);
    LRESULT setFocus = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dlg)) return nullptr;
    if (setFocus && first && IsWindow(first)) SetFocus(first);
    if ((t->style & WS_VISIBLE) && !modal) ShowWindow(dlg, SW_SHOWNORMAL);
    return dlg;
}

} // namespace
} // namespace host::ui

using namespace host::ui;

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    return BuildDialog(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, false);
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    HWND dlg = BuildDialog(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, true);
    if (!dlg) return -1;
    HWND owner = GetParent(dlg);
    if (!IsModalEnded(dlg)) {
        // The owner is disabled while the dialog runs; EndDialog enables it again.
        if (owner && IsWindowEnabled(owner)) {
            {
                auto lock = Locked();
                FindLocked(dlg)->disabledOwner = true;
            }
            EnableWindow(owner, FALSE);
        }
        ShowWindow(dlg, SW_SHOWNORMAL);
        CurrentDriver().RunModalLoop(dlg);
    }
    INT_PTR result = -1;
    bool reenable = false;
    {
        auto lock = Locked();
        if (Window* w = FindLocked(dlg)) {
            result = w->modalResult;
            reenable = std::exchange(w->disabledOwner, false);
        }
    }
    if (reenable && owner) EnableWindow(owner, TRUE);
    DestroyWindow(dlg);
    return result;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    HWND owner = nullptr;
    bool reenable = false;
    {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        if (!w || w->kind != Kind::Dialog) return FALSE;
        w->modalEnded = true;
        w->modalResult = nResult;
        reenable = std::exchange(w->disabledOwner, false);
        owner = w->owner;
    }
    if (reenable && owner) EnableWindow(owner, TRUE);
    ShowWindow(hDlg, SW_HIDE);
    CurrentDriver().ModalEnded(hDlg);
    return TRUE;
}

bool host::ui::IsModalEnded(HWND dlg) {
    auto lock = Locked();
    Window* w = FindLocked(dlg);
    return !w || w->modalEnded;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    if (!lpRect) return FALSE;
    int baseX, baseY;
    {
        auto lock = Locked();
        Window* w = FindLocked(hDlg);
        if (!w || w->kind != Kind::Dialog) return FALSE;
        baseX = w->baseX;
        baseY = w->baseY;
    }
    lpRect->left = MulDiv(lpRect->left, baseX, 4);
    lpRect->right = MulDiv(lpRect->right, baseX, 4);
    lpRect->top = MulDiv(lpRect->top, baseY, 8);
    lpRect->bottom = MulDiv(lpRect->bottom, baseY, 8);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    return MAKELONG(8, 16);
}
