// The testing API over the headless script and the core's user actions.
#include "script.h"

namespace host::ui::test {

using headless::TheScript;

void Reset() {
    SetDriver(MakeHeadlessDriver());
    ResetWindows();
    TheScript().Reset();
}

void OnNextModal(ModalScript script) {
    TheScript().QueueModal(std::move(script));
}
void SetModalHandler(ModalScript handler) {
    TheScript().SetModalHandler(std::move(handler));
}
HWND ActiveModal() {
    return TheScript().ActiveModal();
}

void AnswerMessageBox(int id) {
    TheScript().QueueBoxAnswer([id](const MessageBoxRecord&) { return id; });
}
void AnswerMessageBox(BoxAnswer answer) {
    TheScript().QueueBoxAnswer(std::move(answer));
}
void SetMessageBoxHandler(BoxAnswer handler) {
    TheScript().SetBoxHandler(std::move(handler));
}
void SetUnansweredPolicy(Unanswered policy) {
    TheScript().SetPolicy(policy);
}
std::vector<MessageBoxRecord> MessageBoxes() {
    return MessageBoxLog();
}

void AnswerFileDialog(std::u16string path, int filterIndex) {
    TheScript().QueueFileAnswer([path = std::move(path), filterIndex](const FileDialogRequest&) {
        return FileDialogAnswer{true, path, filterIndex};
    });
}
void CancelFileDialog() {
    TheScript().QueueFileAnswer([](const FileDialogRequest&) { return FileDialogAnswer{}; });
}
void AnswerFileDialog(std::function<FileDialogAnswer(const FileDialogRequest&)> answer) {
    TheScript().QueueFileAnswer(std::move(answer));
}
std::vector<FileDialogRequest> FileDialogs() {
    return TheScript().FileDialogs();
}

HWND Item(HWND dlg, int id) {
    return GetDlgItem(dlg, id);
}

HWND FindChild(HWND parent, std::u16string_view text) {
    for (HWND c : ChildWindows(parent)) {
        WindowInfo info;
        if (GetWindowInfo(c, &info) && info.text == text) return c;
        if (HWND deeper = FindChild(c, text)) return deeper;
    }
    return nullptr;
}

std::vector<HWND> Children(HWND parent, Kind kind) {
    std::vector<HWND> out;
    for (HWND c : ChildWindows(parent)) {
        WindowInfo info;
        if (GetWindowInfo(c, &info) && info.kind == kind) out.push_back(c);
    }
    return out;
}

HWND FindTopLevel(std::u16string_view caption) {
    auto all = TopLevelWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        WindowInfo info;
        if (GetWindowInfo(*it, &info) && info.visible() && (caption.empty() || info.text == caption))
            return *it;
    }
    return nullptr;
}

std::u16string Text(HWND window) {
    WindowInfo info;
    return GetWindowInfo(window, &info) ? info.text : std::u16string();
}
bool Enabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}
bool Visible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}
int Check(HWND button) {
    return static_cast<int>(SendMessageW(button, BM_GETCHECK, 0, 0));
}

RECT Rect(HWND window) {
    WindowInfo info;
    return GetWindowInfo(window, &info) ? info.window : RECT{};
}

RECT ClientRect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

std::vector<std::u16string> Items(HWND combo) {
    WindowInfo info;
    std::vector<std::u16string> out;
    if (GetWindowInfo(combo, &info))
        for (auto& item : info.items)
            out.push_back(item.text);
    return out;
}

int Selection(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}
HFONT Font(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

bool Click(HWND button) {
    return UserClick(button);
}
bool Click(HWND dlg, int id) {
    return UserClick(GetDlgItem(dlg, id));
}
bool Type(HWND edit, std::u16string_view text) {
    return UserType(edit, text);
}
bool Type(HWND dlg, int id, std::u16string_view text) {
    return UserType(GetDlgItem(dlg, id), text);
}
bool Focus(HWND window) {
    return UserFocus(window);
}
bool Focus(HWND dlg, int id) {
    return UserFocus(GetDlgItem(dlg, id));
}
bool Select(HWND combo, int index) {
    return UserSelect(combo, index);
}
bool Select(HWND dlg, int id, int index) {
    return UserSelect(GetDlgItem(dlg, id), index);
}
bool Close(HWND window) {
    return UserClose(window);
}
bool PressEnter(HWND dlg) {
    return UserPressEnter(dlg);
}
bool PressEscape(HWND dlg) {
    return UserPressEscape(dlg);
}
bool Minimize(HWND window, bool minimized) {
    return UserSetMinimized(window, minimized);
}
void Paint(HWND window) {
    UserPaint(window);
}

std::vector<std::string> Surprises() {
    return host::ui::Surprises();
}

} // namespace host::ui::test
