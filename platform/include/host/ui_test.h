// Driving the window core without a display: act as a person would (click, type, focus,
// choose), script modal dialogs, answer message boxes and file dialogs, and read every
// window's state. Everything goes through the same messages the controls send.
//
//   host::ui::test::Reset();
//   host::ui::test::OnNextModal([](HWND dlg) {
//       host::ui::test::AnswerFileDialog(u"/tmp/a.ts");
//       host::ui::test::Click(dlg, 0x7400);      // opens the file dialog, answered above
//       host::ui::test::Click(dlg, IDCANCEL);    // ends the dialog
//   });
//   theDialog.DoModal();                          // runs the script inside its modal loop
#pragma once

#include "host/ui_core.h"

struct RESOURCETABLE;

namespace host::ui::test {

// Starts afresh with the headless driver: no windows, no logs, no scripts, default policies.
void Reset();

// ---- modal dialogs: one script per dialog, taken in the order the dialogs open -------------
using ModalScript = std::function<void(HWND dlg)>;
void OnNextModal(ModalScript script);
// Runs for a modal dialog when no queued script is left. Without it such a dialog is a
// surprise and is closed as a person would (WM_CLOSE).
void SetModalHandler(ModalScript handler);
// The innermost modal dialog that is running, or null.
HWND ActiveModal();

// ---- message boxes ---------------------------------------------------------------------------
using BoxAnswer = std::function<int(const MessageBoxRecord&)>;
void AnswerMessageBox(int id);                // the next box gets this button
void AnswerMessageBox(BoxAnswer answer);      // the next box is answered by this function
void SetMessageBoxHandler(BoxAnswer handler); // boxes with no queued answer
// Boxes with no answer and no handler: pressed at their default button (the default), or
// recorded as a surprise and failed with 0.
enum class Unanswered { DefaultButton, Fail };
void SetUnansweredPolicy(Unanswered policy);
std::vector<MessageBoxRecord> MessageBoxes();

// ---- file dialogs ----------------------------------------------------------------------------
// A queued answer per dialog. A save dialog with OFN_OVERWRITEPROMPT asks through a message box
// (caption "Confirm Save As", Yes/No, No by default) when the chosen file exists; No takes the
// next queued answer, or cancels.
void AnswerFileDialog(std::u16string path, int filterIndex = 1);
void CancelFileDialog();
void AnswerFileDialog(std::function<FileDialogAnswer(const FileDialogRequest&)> answer);
std::vector<FileDialogRequest> FileDialogs(); // every request shown, in order

// ---- finding windows -------------------------------------------------------------------------
HWND Item(HWND dlg, int id);
// The first child (searching the whole subtree) of this kind with this text; kind optional.
HWND FindChild(HWND parent, std::u16string_view text);
std::vector<HWND> Children(HWND parent, Kind kind);
// The resource table a module registered (null for none), to compare with its resource script.
const RESOURCETABLE* ModuleResources(HINSTANCE module);
// The newest visible top-level window with this caption (any caption when empty).
HWND FindTopLevel(std::u16string_view caption = {});

// ---- reading ---------------------------------------------------------------------------------
std::u16string Text(HWND window);
bool Enabled(HWND window);
bool Visible(HWND window);
int Check(HWND button);
RECT Rect(HWND window); // a child's rectangle in its parent's client coordinates
RECT ClientRect(HWND window);
std::vector<std::u16string> Items(HWND combo);
int Selection(HWND combo);
HFONT Font(HWND window);

// ---- acting ----------------------------------------------------------------------------------
bool Click(HWND button);
bool Click(HWND dlg, int id);
bool Type(HWND edit, std::u16string_view text);
bool Type(HWND dlg, int id, std::u16string_view text);
bool Focus(HWND window);
bool Focus(HWND dlg, int id);
bool Select(HWND combo, int index);
bool Select(HWND dlg, int id, int index);
bool Close(HWND window);
bool PressEnter(HWND dlg);
bool PressEscape(HWND dlg);
bool Minimize(HWND window, bool minimized = true);
void Paint(HWND window);

// Things nobody scripted: unscripted dialogs, unanswered boxes (policy Fail), answers that are
// not a button of their box, dialogs left open by their script.
std::vector<std::string> Surprises();

} // namespace host::ui::test
