// Modal loops and what runs inside them: scripts, nested dialogs, message boxes, file dialogs,
// posted messages; and a second thread using the core.
#include "recorder.h"

#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

using namespace host::ui;

HINSTANCE Self() {
    return GetModuleHandleW(nullptr);
}

// The nested dialog's procedure: "Open" runs the every-control dialog modally and shows its
// result in a message box; OK and Cancel end the dialog.
INT_PTR NestedProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        return TRUE;
    }
    if (msg != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_OPEN_NESTED: {
        INT_PTR inner =
            DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_EVERY_CONTROL), dlg, RecordingEndingProc, 0);
        std::u16string text = inner == IDOK ? u"inner OK" : u"inner cancelled";
        MessageBoxW(dlg, text.c_str(), u"Nested", MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    case IDOK:
    case IDCANCEL:
        EndDialog(dlg, LOWORD(wParam) == IDOK ? 100 : 200);
        return TRUE;
    default:
        return TRUE;
    }
}

TEST_F(UiTest, ModalDialogRunsItsScriptAndReturnsTheEndResult) {
    HWND seen = nullptr;
    test::OnNextModal([&](HWND dlg) {
        seen = dlg;
        EXPECT_EQ(test::ActiveModal(), dlg);
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(GetWindowLongPtrW(dlg, DWLP_USER), 42);
        EXPECT_TRUE(test::Click(dlg, IDOK));
        EXPECT_FALSE(IsWindowVisible(dlg)); // EndDialog hides at once; the loop then returns
    });
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, NestedProc, 42), 100);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(test::ActiveModal(), nullptr);
}

TEST_F(UiTest, NestedModalLoopsDisableTheirOwnersAndUnwindInOrder) {
    std::vector<std::string> steps;
    HWND outer = nullptr;
    test::OnNextModal([&](HWND dlg) {
        outer = dlg;
        steps.push_back("outer");
        test::OnNextModal([&](HWND inner) {
            steps.push_back("inner");
            EXPECT_EQ(GetParent(inner), outer);
            EXPECT_FALSE(IsWindowEnabled(outer));
            EXPECT_EQ(test::ActiveModal(), inner);
            EXPECT_TRUE(test::Click(inner, IDOK));
        });
        EXPECT_TRUE(test::Click(dlg, IDC_OPEN_NESTED)); // runs the inner loop, then the box
        steps.push_back("back");
        EXPECT_TRUE(IsWindowEnabled(dlg));
        EXPECT_TRUE(test::Click(dlg, IDCANCEL));
    });
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, NestedProc, 0), 200);
    EXPECT_EQ(steps, (std::vector<std::string>{"outer", "inner", "back"}));
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, outer);
    EXPECT_EQ(boxes[0].text, u"inner OK");
    EXPECT_EQ(boxes[0].caption, u"Nested");
    EXPECT_EQ(boxes[0].icon(), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(boxes[0].buttons(), std::vector<int>{IDOK});
    EXPECT_EQ(boxes[0].result, IDOK);
}

TEST_F(UiTest, UnscriptedDialogIsASurpriseAndIsClosed) {
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, NestedProc, 0), 200);
    auto surprises = test::Surprises();
    ASSERT_EQ(surprises.size(), 1u);
    EXPECT_NE(surprises[0].find("\"Nested\""), std::string::npos);
    // A dialog that ignores closing is ended all the same, with -1.
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, RecordingProc, 0), -1);
    test::Reset();
}

INT_PTR EndsAtOnce(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) EndDialog(dlg, 7);
    return msg == WM_INITDIALOG;
}

TEST_F(UiTest, DialogEndedWhileInitialisingNeverRunsALoop) {
    bool ran = false;
    test::SetModalHandler([&](HWND) { ran = true; });
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, EndsAtOnce, 0), 7);
    EXPECT_FALSE(ran);
}

TEST_F(UiTest, MessageBoxesTakeQueuedAnswersThenTheirDefaultButton) {
    test::AnswerMessageBox(IDNO);
    test::AnswerMessageBox(
        [](const MessageBoxRecord& box) { return box.text == u"second" ? IDRETRY : IDCANCEL; });
    EXPECT_EQ(MessageBoxW(nullptr, u"first", u"Q", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"second", u"Q", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, u"third", nullptr, MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, u"fourth", u"Q", MB_OK | MB_ICONERROR), IDOK);
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[2].caption, u"Error"); // the platform's caption when none is given
    EXPECT_EQ(boxes[3].icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(test::Surprises().empty());

    test::AnswerMessageBox(IDYES); // not a button of an OK box
    EXPECT_EQ(MessageBoxW(nullptr, u"wrong", u"Q", MB_OK), IDYES);
    EXPECT_EQ(test::Surprises().size(), 1u);
    test::SetUnansweredPolicy(test::Unanswered::Fail);
    EXPECT_EQ(MessageBoxW(nullptr, u"unexpected", u"Q", MB_OK), 0);
    EXPECT_EQ(test::Surprises().size(), 2u);
    test::Reset();
}

struct SaveDialog {
    WCHAR file[260] = u"*.ts";
    OPENFILENAMEW ofn{};
    SaveDialog() {
        ofn.lStructSize = sizeof(ofn);
        ofn.lpstrFilter = u"ts\0*.ts\0All\0*.*\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = 260;
        ofn.lpstrDefExt = u"ts";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    }
};

TEST_F(UiTest, SaveFileDialogPassesItsRequestAndFillsTheAnswer) {
    SaveDialog d;
    test::AnswerFileDialog(u"/tmp/yra-ui-test/record");
    ASSERT_TRUE(GetSaveFileNameW(&d.ofn));
    EXPECT_EQ(std::u16string(d.file), u"/tmp/yra-ui-test/record.ts"); // the default extension
    EXPECT_EQ(d.ofn.nFileOffset, 17);
    EXPECT_EQ(d.ofn.nFileExtension, 24);
    EXPECT_EQ(d.ofn.nFilterIndex, 1u);
    auto requests = test::FileDialogs();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[0].description, u"ts");
    EXPECT_EQ(requests[0].filters[0].pattern, u"*.ts");
    EXPECT_EQ(requests[0].initialName, u"*.ts");
    EXPECT_EQ(requests[0].defaultExt, u"ts");
    EXPECT_TRUE(requests[0].flags & OFN_OVERWRITEPROMPT);

    SaveDialog cancelled;
    test::CancelFileDialog();
    EXPECT_FALSE(GetSaveFileNameW(&cancelled.ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    SaveDialog small;
    small.ofn.nMaxFile = 8;
    test::AnswerFileDialog(u"/tmp/long-name.ts");
    EXPECT_FALSE(GetSaveFileNameW(&small.ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    EXPECT_EQ(small.file[0], 18);

    // Nobody answered: a surprise, and the dialog is cancelled.
    SaveDialog unanswered;
    EXPECT_FALSE(GetSaveFileNameW(&unanswered.ofn));
    EXPECT_EQ(test::Surprises().size(), 1u);
    test::Reset();
}

TEST_F(UiTest, OverwritePromptAsksThroughAMessageBox) {
    auto dir = std::filesystem::temp_directory_path() / ("yra-ui-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto existing = dir / "old.ts";
    std::FILE* f = std::fopen(existing.c_str(), "w");
    ASSERT_TRUE(f);
    std::fclose(f);
    std::u16string path = Utf16(existing.string());

    SaveDialog first;
    test::AnswerFileDialog(path);
    EXPECT_FALSE(GetSaveFileNameW(&first.ofn)); // the prompt's default is No
    auto boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Confirm Save As");
    EXPECT_EQ(boxes[0].text, u"old.ts already exists.\nDo you want to replace it?");
    EXPECT_EQ(boxes[0].result, IDNO);

    SaveDialog second;
    test::AnswerFileDialog(path);
    test::AnswerMessageBox(IDNO);
    test::AnswerFileDialog(Utf16((dir / "new").string())); // then another name
    ASSERT_TRUE(GetSaveFileNameW(&second.ofn));
    EXPECT_EQ(std::u16string(second.file), Utf16((dir / "new.ts").string()));

    SaveDialog third;
    third.ofn.Flags = 0; // no prompt asked for
    test::AnswerFileDialog(path);
    EXPECT_TRUE(GetSaveFileNameW(&third.ofn));
    EXPECT_EQ(test::MessageBoxes().size(), 2u);
    std::filesystem::remove_all(dir);
}

INT_PTR PostingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        PostMessageW(dlg, WM_APP, 5, 0);
        return TRUE;
    }
    if (msg == WM_APP) EndDialog(dlg, static_cast<INT_PTR>(wParam));
    return FALSE;
}

TEST_F(UiTest, PostedMessagesAreDeliveredByTheModalLoop) {
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, PostingProc, 0), 5);
}

TEST_F(UiTest, ASecondThreadMayUseTheCoreMeanwhile) {
    HWND dlg = OpenEveryControl();
    HWND edit = GetDlgItem(dlg, IDC_NAME);
    std::thread other([&] {
        WCHAR buffer[32];
        for (int i = 0; i < 200; ++i) {
            SetWindowTextW(edit, u"from the other thread");
            GetWindowTextW(edit, buffer, 32);
            SendDlgItemMessageW(dlg, IDC_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"x"));
        }
    });
    for (int i = 0; i < 200; ++i) {
        test::Click(dlg, IDC_ENABLE);
        test::Type(edit, u"ab");
    }
    other.join();
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_LIST, CB_GETCOUNT, 0, 0), 200);
}

} // namespace
