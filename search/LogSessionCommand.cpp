#include "search/LogSessionCommand.h"

#include "app/Settings.h"
#include "platform/FileDialog.h"

bool RunLogSessionCommand(bool& bLog, std::string& strLogFile, void* owner,
                          const std::function<void(bool)>& setLogCheck) {
  OpenSettingsKey();
  bLog = !bLog;
  if (bLog) {
    FileDialogRequest request;
    request.open = false;
    request.defaultExtension = "log";
    request.initialFile = strLogFile;
    // No question when the file exists (the log appends to it); one before a new file is made.
    request.flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    request.filter = "Log Files (*.log)|*.log|All Files (*.*)|*.*||";
    request.owner = owner;
    if (std::optional<std::string> chosen = ShowFileDialog(request)) {
      strLogFile = *chosen;
      WriteLogFile(strLogFile);
    } else {
      bLog = false;
    }
  }
  if (setLogCheck) setLogCheck(bLog);
  WriteLog(bLog);
  CloseSettingsKey();
  return bLog;
}
