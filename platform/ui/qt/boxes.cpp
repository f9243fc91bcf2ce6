// Message boxes and file dialogs as Qt shows them.
#include "qt_driver.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace host::ui::qt {
namespace {

QMessageBox::Icon IconFor(UINT icon) {
    switch (icon) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

std::pair<const char16_t*, QMessageBox::ButtonRole> ButtonFor(int id) {
    switch (id) {
    case IDOK:
        return {u"OK", QMessageBox::AcceptRole};
    case IDCANCEL:
        return {u"Cancel", QMessageBox::RejectRole};
    case IDABORT:
        return {u"&Abort", QMessageBox::RejectRole};
    case IDRETRY:
        return {u"&Retry", QMessageBox::AcceptRole};
    case IDIGNORE:
        return {u"&Ignore", QMessageBox::AcceptRole};
    case IDYES:
        return {u"&Yes", QMessageBox::YesRole};
    case IDNO:
        return {u"&No", QMessageBox::NoRole};
    case IDTRYAGAIN:
        return {u"&Try Again", QMessageBox::AcceptRole};
    default:
        return {u"&Continue", QMessageBox::AcceptRole};
    }
}

// Owners that are disabled (behind another modal window) would disable the box with them.
QWidget* OwnerWidget(HWND owner) {
    QWidget* widget = WidgetOf(owner);
    return (widget && widget->isEnabled() && widget->isVisible()) ? widget->window() : nullptr;
}

QString PatternsOf(const std::u16string& pattern) {
    QString p = ToQString(pattern);
    p.replace(u';', u' ');
    return p;
}

} // namespace

int QtDriver::ShowMessageBox(const MessageBoxRecord& box) {
    if (!OnGuiThread()) return 0;
    QMessageBox dialog(IconFor(box.icon()), ToQString(box.caption), ToQString(box.text),
                       QMessageBox::NoButton, OwnerWidget(box.owner));
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (int id : box.buttons()) {
        auto [text, role] = ButtonFor(id);
        QPushButton* b = dialog.addButton(QString::fromUtf16(text), role);
        buttons.emplace_back(b, id);
        if (id == box.defaultButton()) dialog.setDefaultButton(b);
        if (id == IDCANCEL || (box.buttons().size() == 1 && id == IDOK)) dialog.setEscapeButton(b);
    }
    dialog.exec();
    for (auto& [b, id] : buttons)
        if (dialog.clickedButton() == b) return id;
    return box.buttons().size() == 1 ? box.buttons()[0] : IDCANCEL;
}

FileDialogAnswer QtDriver::ShowFileDialog(const FileDialogRequest& request) {
    if (!OnGuiThread()) return {};
    QFileDialog dialog(OwnerWidget(request.owner), ToQString(request.title), ToQString(request.initialDir));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!(request.flags & OFN_OVERWRITEPROMPT)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters;
    for (const FileFilter& f : request.filters)
        filters << QStringLiteral("%1 (%2)").arg(ToQString(f.description), PatternsOf(f.pattern));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExt.empty()) dialog.setDefaultSuffix(ToQString(request.defaultExt));
    // An initial name with wildcards is a filter, not a name.
    QString initial = ToQString(request.initialName);
    if (!initial.isEmpty() && !initial.contains(u'*') && !initial.contains(u'?')) dialog.selectFile(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    FileDialogAnswer answer;
    answer.ok = true;
    answer.path = FromQString(dialog.selectedFiles().first());
    answer.filterIndex = std::max(1, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1);
    return answer;
}

} // namespace host::ui::qt
