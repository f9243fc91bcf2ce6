// What the program's tests share: a fresh headless window core per test, running the main
// dialog or the settings dialog with a script, and reading the message boxes they raised.
#pragma once

#include "YRA_HD_Capture_APDlg.h"
#include "YRA_HD_Capture_Dlg_Encode_Setting.h"

#include "host/ui_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace uitest = host::ui::test;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::Reset();
        CoInitialize(nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(uitest::Surprises(), std::vector<std::string>{});
        uitest::Reset();
    }

    using MainScript = std::function<void(HWND dlg, CYRA_HD_Capture_APDlg& app)>;
    // Runs the main dialog modally with `script` inside its loop; the dialog is destroyed (its
    // teardown run) before this returns. The script should end the dialog; if it does not, it is
    // cancelled.
    static INT_PTR RunMainDialog(const MainScript& script) {
        CYRA_HD_Capture_APDlg dlg;
        uitest::OnNextModal([&](HWND hwnd) {
            script(hwnd, dlg);
            if (IsWindow(hwnd) && !host::ui::IsModalEnded(hwnd)) uitest::Close(hwnd);
        });
        return dlg.DoModal();
    }

    static std::vector<host::ui::MessageBoxRecord> Boxes() { return uitest::MessageBoxes(); }
    static std::vector<std::u16string> BoxTexts() {
        std::vector<std::u16string> texts;
        for (const auto& box : uitest::MessageBoxes()) texts.push_back(box.text);
        return texts;
    }
};

// The rows' controls of the main dialog.
inline HWND RowLabel(HWND dlg, int row) { return uitest::Item(dlg, IDC_DEVICE_LABEL_BASE + row); }
inline HWND SetButton(HWND dlg, int row) { return uitest::Item(dlg, IDC_SET_BASE + row); }
inline HWND StartButton(HWND dlg, int row) { return uitest::Item(dlg, IDC_START_BASE + row); }
inline HWND StopButton(HWND dlg, int row) { return uitest::Item(dlg, IDC_STOP_BASE + row); }

// Whether a row shows idle (Set and Start enabled, Stop disabled) or recording (the reverse).
inline bool RowIdle(HWND dlg, int row) {
    return uitest::Enabled(SetButton(dlg, row)) && uitest::Enabled(StartButton(dlg, row)) &&
           !uitest::Enabled(StopButton(dlg, row));
}
inline bool RowRecording(HWND dlg, int row) {
    return !uitest::Enabled(SetButton(dlg, row)) && !uitest::Enabled(StartButton(dlg, row)) &&
           uitest::Enabled(StopButton(dlg, row));
}

// Sends a button click for any id, as the platform would for a control that is not there.
inline void SendClick(HWND dlg, int id) {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

inline std::u16string U16(std::string_view s) { return host::ui::Utf16(s); }
