// A dialog procedure that records the commands its dialog receives.
#pragma once

#include "host/ui_test.h"
#include "test_resources.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

struct Command {
    int id;
    int code;
    HWND from;
    bool operator==(const Command&) const = default;
};

inline std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

inline INT_PTR RecordingProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    static std::mutex mu;
    if (msg == WM_COMMAND) {
        std::lock_guard lock(mu);
        Commands().push_back(
            {static_cast<int16_t>(LOWORD(wParam)), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return TRUE;
    }
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

// Records, and ends the dialog on OK and Cancel.
inline INT_PTR RecordingEndingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        EndDialog(dlg, LOWORD(wParam));
    return RecordingProc(dlg, msg, wParam, lParam);
}

// A fresh headless core for every test.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::ui::test::Reset();
        Commands().clear();
    }
    void TearDown() override { EXPECT_TRUE(host::ui::test::Surprises().empty()); }

    HWND OpenEveryControl(HWND parent = nullptr) {
        HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EVERY_CONTROL), parent,
                                      RecordingProc, 0);
        ShowWindow(dlg, SW_SHOWNORMAL);
        Commands().clear();
        return dlg;
    }
};
