#include "platform/QtFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QScopeGuard>
#include <QStringList>
#include <QThread>

#include "platform/FileDialog.h"
#include "platform/UiThread.h"

QString ToQtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    if (name.isEmpty() && pattern.isEmpty()) break;
    // "*.*" means every file here, also those without a dot.
    pattern.replace("*.*", "*");
    pattern.replace(';', ' ');
    filters << QStringLiteral("%1 (%2)").arg(name, pattern);
  }
  return filters.join(";;");
}

namespace {

std::optional<std::string> RunDialog(const FileDialogRequest& request) {
  // On the heap, as message boxes are: the owner may go (Quit, a signal) while the dialog waits,
  // and takes its children with it. A dialog that went, or was closed without an answer, is a
  // cancel.
  QPointer<QFileDialog> dialog = new QFileDialog(static_cast<QWidget*>(request.owner));
  const auto release = qScopeGuard([&dialog] { delete dialog.data(); });
  dialog->setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog->setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
  dialog->setOption(QFileDialog::ReadOnly, false);
  // The defined names already carry their patterns: show the name alone, filter by the pattern.
  dialog->setOption(QFileDialog::HideNameFilterDetails, true);
  if (!request.defaultExtension.empty()) {
    std::string ext = request.defaultExtension;
    if (ext.front() == '.') ext.erase(0, 1);
    dialog->setDefaultSuffix(QString::fromStdString(ext));
  }
  const QString filters = ToQtNameFilters(request.filter);
  if (!filters.isEmpty()) dialog->setNameFilters(filters.split(";;"));
  if (!request.initialFile.empty() && request.initialFile != "*.*") {
    const QFileInfo info(QString::fromStdString(request.initialFile));
    dialog->setDirectory(info.absolutePath());
    dialog->selectFile(info.fileName());
  }
  for (;;) {
    const int result = dialog->exec();
    if (!dialog || result != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = QFileInfo(dialog->selectedFiles().first()).absoluteFilePath();
    if ((request.flags & OFN_CREATEPROMPT) && !QFileInfo::exists(chosen)) {
      QPointer<QMessageBox> box = new QMessageBox(
          QMessageBox::Question, dialog->windowTitle(),
          QStringLiteral("%1\nThis file does not exist.\nCreate the file?").arg(QFileInfo(chosen).fileName()),
          QMessageBox::Yes | QMessageBox::No, dialog);
      const int answer = box->exec();
      delete box.data();
      // No picks another name; a question that went unanswered cancels the whole dialog.
      if (answer == QMessageBox::No && dialog) continue;
      if (answer != QMessageBox::Yes || !dialog) return std::nullopt;
    }
    return chosen.toStdString();
  }
}

}  // namespace

void InstallQtFileDialog() {
  SetFileDialogHandler([](const FileDialogRequest& request) -> std::optional<std::string> {
    std::optional<std::string> answer;
    RunOnUiThread([&] { answer = RunDialog(request); });
    return answer;
  });
}
