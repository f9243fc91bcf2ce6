// The headless driver's script: queued modal scripts and answers, shared by the driver and
// the testing API.
#pragma once

#include "host/ui_test.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>

namespace host::ui::headless {

class Script {
public:
    void Reset();

    void QueueModal(test::ModalScript s);
    void SetModalHandler(test::ModalScript s);
    test::ModalScript TakeModal();
    void PushModal(HWND dlg);
    void PopModal(HWND dlg);
    HWND ActiveModal();

    void QueueBoxAnswer(test::BoxAnswer a);
    void SetBoxHandler(test::BoxAnswer a);
    std::optional<int> TakeBoxAnswer(const MessageBoxRecord& box);
    void SetPolicy(test::Unanswered p);
    test::Unanswered Policy();

    using FileAnswer = std::function<FileDialogAnswer(const FileDialogRequest&)>;
    void QueueFileAnswer(FileAnswer a);
    bool HasFileAnswer();
    std::optional<FileDialogAnswer> TakeFileAnswer(const FileDialogRequest& request);
    void LogFileDialog(const FileDialogRequest& request);
    std::vector<FileDialogRequest> FileDialogs();

private:
    std::recursive_mutex m_mu;
    std::deque<test::ModalScript> m_modal;
    test::ModalScript m_modalHandler;
    std::vector<HWND> m_running;
    std::deque<test::BoxAnswer> m_boxes;
    test::BoxAnswer m_boxHandler;
    test::Unanswered m_policy = test::Unanswered::DefaultButton;
    std::deque<FileAnswer> m_files;
    std::vector<FileDialogRequest> m_fileLog;
};

Script& TheScript();

} // namespace host::ui::headless
