#include "platform/QtFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
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
  QFileDialog dialog(static_cast<QWidget*>(request.owner));
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!request.defaultExtension.empty()) {
    std::string ext = request.defaultExtension;
    if (ext.front() == '.') ext.erase(0, 1);
    dialog.setDefaultSuffix(QString::fromStdString(ext));
  }
  const QString filters = ToQtNameFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters.split(";;"));
  if (!request.initialFile.empty() && request.initialFile != "*.*") {
    const QFileInfo info(QString::fromStdString(request.initialFile));
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    if ((request.flags & OFN_CREATEPROMPT) && !QFileInfo::exists(chosen)) {
      const auto answer =
          QMessageBox::question(&dialog, dialog.windowTitle(),
                                QStringLiteral("%1\nThis file does not exist.\nCreate the file?")
                                    .arg(QFileInfo(chosen).fileName()));
      if (answer != QMessageBox::Yes) continue;
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
