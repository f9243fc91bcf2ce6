// The headless driver: nothing is shown. Modal dialogs run their scripts, message boxes and
// file dialogs take queued answers, and whatever nobody scripted is recorded as a surprise.
#include "script.h"

#include <sys/stat.h>

namespace host::ui {
namespace {

std::string Describe(HWND dlg) {
    WindowInfo info;
    GetWindowInfo(dlg, &info);
    return "\"" + Utf8(info.text) + "\"";
}

class HeadlessDriver final : public Driver {
public:
    const char* Name() const override { return "headless"; }

    void RunModalLoop(HWND dlg) override {
        headless::Script& script = headless::TheScript();
        script.PushModal(dlg);
        DispatchPostedMessages();
        if (!IsModalEnded(dlg)) {
            test::ModalScript run = script.TakeModal();
            if (run)
                run(dlg);
            else
                RecordSurprise("modal dialog " + Describe(dlg) + " opened with no script");
            DispatchPostedMessages();
            if (!IsModalEnded(dlg) && run)
                RecordSurprise("modal dialog " + Describe(dlg) + " left open by its script");
        }
        if (!IsModalEnded(dlg)) {
            // Closed as a person would; a dialog that refuses is ended all the same.
            SendMessageW(dlg, WM_CLOSE, 0, 0);
            DispatchPostedMessages();
            if (!IsModalEnded(dlg)) EndDialog(dlg, -1);
        }
        script.PopModal(dlg);
    }

    int ShowMessageBox(const MessageBoxRecord& box) override {
        headless::Script& script = headless::TheScript();
        std::optional<int> answer = script.TakeBoxAnswer(box);
        if (!answer) {
            if (script.Policy() == test::Unanswered::Fail) {
                RecordSurprise("unanswered message box \"" + Utf8(box.text) + "\"");
                return 0;
            }
            return box.defaultButton();
        }
        auto buttons = box.buttons();
        if (std::find(buttons.begin(), buttons.end(), *answer) == buttons.end())
            RecordSurprise("answer " + std::to_string(*answer) + " is no button of the box \"" +
                           Utf8(box.text) + "\"");
        return *answer;
    }

    FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) override {
        headless::Script& script = headless::TheScript();
        script.LogFileDialog(request);
        for (;;) {
            std::optional<FileDialogAnswer> answer = script.TakeFileAnswer(request);
            if (!answer) {
                RecordSurprise("file dialog with no answer");
                return {};
            }
            if (!answer->ok) return *answer;
            answer->path = ApplyDefaultExtension(answer->path, request.defaultExt);
            if (request.save && (request.flags & OFN_OVERWRITEPROMPT) && Exists(answer->path)) {
                size_t slash = answer->path.find_last_of(u'/');
                std::u16string name = answer->path.substr(slash == std::u16string::npos ? 0 : slash + 1);
                std::u16string text = name + u" already exists.\nDo you want to replace it?";
                int reply = MessageBoxW(request.owner, text.c_str(), u"Confirm Save As",
                                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
                if (reply != IDYES) {
                    if (!script.HasFileAnswer()) return {};
                    continue;
                }
            }
            return *answer;
        }
    }

private:
    static bool Exists(const std::u16string& path) {
        struct stat st {};
        return ::stat(Utf8(path).c_str(), &st) == 0;
    }
};

} // namespace

std::unique_ptr<Driver> MakeHeadlessDriver() {
    return std::make_unique<HeadlessDriver>();
}

} // namespace host::ui
