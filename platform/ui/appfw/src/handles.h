// The framework's bookkeeping: which object stands for which window, and the message being
// handled, for Default().
#pragma once

#include "appfw/dialog.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace appfw {

std::recursive_mutex& MapLock();
// Objects attached to windows for their whole life (dialogs, controls made or bound).
std::unordered_map<HWND, CWnd*>& PermanentMap();

struct CurrentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The messages being handled on this thread, innermost last.
std::vector<CurrentMessage>& MessageStack();
// A message that Default() hands to the default dialog procedure; the framework's dialog
// procedure lets it pass once.
CurrentMessage*& BypassMessage();
// The dialog whose window is being created on this thread.
CDialog*& DialogBeingCreated();

// Releases wrappers of windows that are gone, and the wrappers of a dialog's controls.
void DetachChildrenOf(HWND dialog);

} // namespace appfw
