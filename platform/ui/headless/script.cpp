// The headless script's queues. Answers are taken under the lock and run outside it, so an
// answer may itself queue more.
#include "script.h"

namespace host::ui::headless {

Script& TheScript() {
    static auto* script = new Script;
    return *script;
}

void Script::Reset() {
    std::lock_guard lock(m_mu);
    m_modal.clear();
    m_modalHandler = nullptr;
    m_running.clear();
    m_boxes.clear();
    m_boxHandler = nullptr;
    m_policy = test::Unanswered::DefaultButton;
    m_files.clear();
    m_fileLog.clear();
}

void Script::QueueModal(test::ModalScript s) {
    std::lock_guard lock(m_mu);
    m_modal.push_back(std::move(s));
}

void Script::SetModalHandler(test::ModalScript s) {
    std::lock_guard lock(m_mu);
    m_modalHandler = std::move(s);
}

test::ModalScript Script::TakeModal() {
    std::lock_guard lock(m_mu);
    if (m_modal.empty()) return m_modalHandler;
    test::ModalScript s = std::move(m_modal.front());
    m_modal.pop_front();
    return s;
}

void Script::PushModal(HWND dlg) {
    std::lock_guard lock(m_mu);
    m_running.push_back(dlg);
}

void Script::PopModal(HWND dlg) {
    std::lock_guard lock(m_mu);
    std::erase(m_running, dlg);
}

HWND Script::ActiveModal() {
    std::lock_guard lock(m_mu);
    return m_running.empty() ? nullptr : m_running.back();
}

void Script::QueueBoxAnswer(test::BoxAnswer a) {
    std::lock_guard lock(m_mu);
    m_boxes.push_back(std::move(a));
}

void Script::SetBoxHandler(test::BoxAnswer a) {
    std::lock_guard lock(m_mu);
    m_boxHandler = std::move(a);
}

std::optional<int> Script::TakeBoxAnswer(const MessageBoxRecord& box) {
    test::BoxAnswer answer;
    {
        std::lock_guard lock(m_mu);
        if (!m_boxes.empty()) {
            answer = std::move(m_boxes.front());
            m_boxes.pop_front();
        } else {
            answer = m_boxHandler;
        }
    }
    if (!answer) return std::nullopt;
    return answer(box);
}

void Script::SetPolicy(test::Unanswered p) {
    std::lock_guard lock(m_mu);
    m_policy = p;
}

test::Unanswered Script::Policy() {
    std::lock_guard lock(m_mu);
    return m_policy;
}

void Script::QueueFileAnswer(FileAnswer a) {
    std::lock_guard lock(m_mu);
    m_files.push_back(std::move(a));
}

bool Script::HasFileAnswer() {
    std::lock_guard lock(m_mu);
    return !m_files.empty();
}

std::optional<FileDialogAnswer> Script::TakeFileAnswer(const FileDialogRequest& request) {
    FileAnswer answer;
    {
        std::lock_guard lock(m_mu);
        if (m_files.empty()) return std::nullopt;
        answer = std::move(m_files.front());
        m_files.pop_front();
    }
    return answer(request);
}

void Script::LogFileDialog(const FileDialogRequest& request) {
    std::lock_guard lock(m_mu);
    m_fileLog.push_back(request);
}

std::vector<FileDialogRequest> Script::FileDialogs() {
    std::lock_guard lock(m_mu);
    return m_fileLog;
}

} // namespace host::ui::headless
