#include "console/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace quennel {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QMessageBox::Icon IconOf(MessageBoxRequest::Kind kind) {
    switch (kind) {
    case MessageBoxRequest::Kind::Information:
        return QMessageBox::Information;
    case MessageBoxRequest::Kind::Error:
        return QMessageBox::Critical;
    case MessageBoxRequest::Kind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

// "Bin|*.Bin|Hex|*.Hex" as Qt's name filters "Bin (*.Bin)", "Hex (*.Hex)".
QStringList NameFilters(const std::string& filter) {
    const QStringList parts = Text(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    return filters;
}

std::optional<std::string> RunFileDialog(const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(nullptr, Text(request.Title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen && request.MustExist ? QFileDialog::ExistingFile
                                                                            : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.AskBeforeOverwrite);
    const QStringList filters = NameFilters(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    QString extension = Text(request.DefaultExtension);
    if (extension.startsWith('.'))
        extension.remove(0, 1);
    dialog.setDefaultSuffix(extension);
    if (!request.Folder.empty())
        dialog.setDirectory(Text(request.Folder));
    if (!request.FileName.empty())
        dialog.selectFile(Text(request.FileName));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

} // namespace

void QtDialogs::ShowBox(const MessageBoxRequest& request) {
    QMessageBox box(IconOf(request.Icon), Text(request.Title.empty() ? ProgramTitle : request.Title),
                    Text(request.Text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if (request.X && request.Y)
        box.move(*request.X, *request.Y); // a moved box is not centred again when shown
    box.exec();
}

bool QtDialogs::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, Text(title.empty() ? ProgramTitle : title), Text(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::ChooseOpenFile(const FileDialogRequest& request) {
    return RunFileDialog(request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::ChooseSaveFile(const FileDialogRequest& request) {
    return RunFileDialog(request, QFileDialog::AcceptSave);
}

} // namespace quennel
