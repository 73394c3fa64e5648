#pragma once
// Where a history combo keeps its history: under root\Software\<company>\<application>\HistoryCombo,
// one string value of the items joined with '|', and beside it the same list kept whole as a
// multi-string, because an item may hold '|' (the mask's OR operator).
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

struct HistoryStore {
  // The application's registry key and profile name, used for an empty company or application.
  static constexpr const char* kDefaultCompany = "Local AppWizard-Generated Applications";
  static constexpr const char* kDefaultApplication = "Kestrel";

  struct Stored {
    std::string text;  // the joined value, "" when missing or unreadable
    // The whole list, when its copy is there and joins to exactly text.
    std::optional<std::vector<std::string>> items;
  };

  // Fills in the defaults; false when the value name is empty.
  static bool ResolveNames(const std::string& valueName, std::string& company, std::string& application);
  // The name of the multi-string copy beside valueName.
  static std::string ItemsValueName(const std::string& valueName);
  // Writes the items joined with '|' (an empty history deletes the value), then the copy (deleted
  // when empty, or when an item holds a NUL a multi-string cannot carry). "Software" must exist;
  // the keys below it are created. True exactly when the joined value's set or delete succeeded.
  static bool WriteHistory(HKEY root, const std::string& company, const std::string& application,
                           const std::string& valueName, const std::vector<std::string>& items);
  // The joined value read whole, whatever its type, up to its first NUL; and the copy, when it
  // agrees with it. A missing key gives "" and no copy.
  static Stored ReadHistory(HKEY root, const std::string& company, const std::string& application,
                            const std::string& valueName);
};
