#pragma once
// Where a history combo keeps its history: in the key SOFTWARE\<company>\<application>\HistoryCombo
// of the settings file, one text of the items joined with '|', and beside it the same list kept
// whole, because an item may hold '|' (the mask's OR operator).
#include <optional>
#include <string>
#include <vector>

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
  // Writes the items joined with '|' (an empty history removes the value) and the list beside it
  // (removed when empty, or when an item holds a NUL), both in one write. False when the file
  // cannot be written, a name is malformed, or an empty history had no value to remove.
  static bool WriteHistory(const std::string& company, const std::string& application,
                           const std::string& valueName, const std::vector<std::string>& items);
  // The joined value read whole, whatever its type, up to its first NUL; and the list, when it
  // agrees with it. A missing key gives "" and no list.
  static Stored ReadHistory(const std::string& company, const std::string& application,
                            const std::string& valueName);
};
