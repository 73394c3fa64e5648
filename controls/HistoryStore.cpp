#include "controls/HistoryStore.h"

#include <algorithm>

#include "platform/SettingsFile.h"

namespace {

std::string Join(const std::vector<std::string>& items) {
  std::string result;
  for (const std::string& item : items) result += (result.empty() ? "" : "|") + item;
  return result;
}

// SOFTWARE\company\application\HistoryCombo, each name one step as a key of its own would take it
// (a trailing '\' dropped, an empty name staying in place); false for a malformed name.
bool KeyOf(const std::string& company, const std::string& application, std::string& key) {
  key = "SOFTWARE";
  for (std::string name : {company, application, std::string("HistoryCombo")}) {
    if (!name.empty() && name.back() == '\\') name.pop_back();
    if (name.empty()) continue;
    if (name.front() == '\\' || name.find("\\\\") != std::string::npos ||
        std::any_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7f; }))
      return false;
    key += "\\" + name;
  }
  return true;
}

}  // namespace

bool HistoryStore::ResolveNames(const std::string& valueName, std::string& company,
                                std::string& application) {
  if (valueName.empty()) return false;
  if (company.empty()) company = kDefaultCompany;
  if (application.empty()) application = kDefaultApplication;
  return true;
}

bool HistoryStore::WriteHistory(const std::string& company, const std::string& application,
                                const std::string& valueName, const std::vector<std::string>& items) {
  SettingsFile& store = SettingsFile::Shared();
  std::string key;
  if (!store.IsWritable() || !KeyOf(company, application, key)) return false;
  const std::string history = Join(items);
  const bool hasNul = std::any_of(items.begin(), items.end(), [](const std::string& item) {
    return item.find('\0') != std::string::npos;
  });
  const bool removesNothing = history.empty() && !store.Read().Text(key, valueName);
  SettingChange joined{valueName, std::monostate()}, copy{valueName + "Items", std::monostate()};
  if (!history.empty()) joined.value = history;
  if (!history.empty() && !hasNul) copy.value = items;
  return store.Write(key, {joined, copy}) && !removesNothing;
}

HistoryStore::Stored HistoryStore::ReadHistory(const std::string& company, const std::string& application,
                                               const std::string& valueName) {
  Stored stored;
  std::string key;
  if (!KeyOf(company, application, key)) return stored;
  const SettingsText text = SettingsFile::Shared().Read();
  stored.text = text.Text(key, valueName).value_or("");
  // A list the joined value no longer matches (an older program wrote the value, or it was edited
  // by hand) is stale.
  std::optional<std::vector<std::string>> items = text.List(key, valueName + "Items");
  if (items && Join(*items) == stored.text) stored.items = std::move(items);
  return stored;
}
