#pragma once
// Where a history combo keeps its history: one string value under
// root\Software\<company>\<application>\HistoryCombo.
#include <string>

#include "platform/Registry.h"

struct HistoryStore {
  // The application's registry key and profile name, used for an empty company or application.
  static constexpr const char* kDefaultCompany = "Local AppWizard-Generated Applications";
  static constexpr const char* kDefaultApplication = "Kestrel";

  // Fills in the defaults; false when the value name is empty or there is still no company.
  static bool ResolveNames(const std::string& valueName, std::string& company, std::string& application);
  // Writes the history (an empty one deletes the value). "Software" must exist; the keys below
  // it are created. True exactly when the set or delete succeeded.
  static bool WriteHistory(HKEY root, const std::string& company, const std::string& application,
                           const std::string& valueName, const std::string& history);
  // The stored text, whatever its type, or "" when any key or the value is missing or unreadable.
  static std::string ReadHistory(HKEY root, const std::string& company, const std::string& application,
                                 const std::string& valueName);
};
