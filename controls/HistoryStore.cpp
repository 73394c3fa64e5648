#include "controls/HistoryStore.h"

namespace {

constexpr const char* kHistoryKey = "HistoryCombo";

std::string Join(const std::vector<std::string>& items) {
  std::string result;
  for (const std::string& item : items) {
    if (!result.empty()) result += '|';
    result += item;
  }
  return result;
}

// A multi-string: every item with its NUL, then one more NUL ending the list.
std::vector<BYTE> MultiString(const std::vector<std::string>& items) {
  std::vector<BYTE> data;
  for (const std::string& item : items) {
    data.insert(data.end(), item.begin(), item.end());
    data.push_back(0);
  }
  data.push_back(0);
  return data;
}

// The strings up to the empty one that ends the list, or to the end of the data.
std::vector<std::string> Strings(const std::vector<BYTE>& data) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos < data.size() && data[pos] != 0) {
    size_t end = pos;
    while (end < data.size() && data[end] != 0) ++end;
    items.emplace_back(reinterpret_cast<const char*>(data.data()) + pos, end - pos);
    pos = end + 1;
  }
  return items;
}

bool ReadValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data) {
  DWORD size = 0;
  if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  if (RegQueryValueEx(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return true;
}

bool HasNul(const std::vector<std::string>& items) {
  for (const std::string& item : items) {
    if (item.find('\0') != std::string::npos) return true;
  }
  return false;
}

}  // namespace

bool HistoryStore::ResolveNames(const std::string& valueName, std::string& company,
                                std::string& application) {
  if (valueName.empty()) return false;
  if (company.empty()) company = kDefaultCompany;
  if (application.empty()) application = kDefaultApplication;
  return true;
}

std::string HistoryStore::ItemsValueName(const std::string& valueName) {
  return valueName + "Items";
}

bool HistoryStore::WriteHistory(HKEY root, const std::string& company, const std::string& application,
                                const std::string& valueName, const std::vector<std::string>& items) {
  const DWORD access = KEY_READ | KEY_WRITE;
  HKEY software = nullptr;
  if (RegOpenKeyEx(root, "Software", 0, access, &software) != ERROR_SUCCESS) return false;
  // The keys below "Software" are created in the same write; each name is one step as a key of
  // its own would take it (a trailing '\\' dropped, an empty name staying in place).
  std::string below;
  for (std::string name : {company, application, std::string(kHistoryKey)}) {
    if (!name.empty() && name.back() == '\\') name.pop_back();
    if (name.empty()) continue;
    if (name.front() == '\\' || name.find("\\\\") != std::string::npos) {
      RegCloseKey(software);
      return false;
    }
    below += below.empty() ? name : "\\" + name;
  }
  // Both values go in one write; the joined value's result counts.
  const std::string history = Join(items);
  std::vector<RegistryChange> changes(2);
  changes[0].name = valueName;
  if (history.empty()) {
    changes[0].remove = true;
  } else {
    changes[0].type = REG_SZ;
    changes[0].data.assign(history.begin(), history.end());
    changes[0].data.push_back(0);
  }
  changes[1].name = ItemsValueName(valueName);
  if (!history.empty() && !HasNul(items)) {
    changes[1].type = REG_MULTI_SZ;
    changes[1].data = MultiString(items);
  } else {
    changes[1].remove = true;
  }
  const LONG rc = RegSetValues(software, below, changes);
  RegCloseKey(software);
  return rc == ERROR_SUCCESS;
}

HistoryStore::Stored HistoryStore::ReadHistory(HKEY root, const std::string& company,
                                               const std::string& application, const std::string& valueName) {
  Stored stored;
  HKEY key = root;
  for (const std::string& name : {std::string("Software"), company, application, std::string(kHistoryKey)}) {
    HKEY child = nullptr;
    LONG rc = RegOpenKeyEx(key, name, 0, KEY_READ, &child);
    if (key != root) RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return stored;
    key = child;
  }
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (ReadValue(key, valueName, type, data)) {
    // Text ends at its terminating NUL; data of other types is taken up to its first NUL.
    size_t length = 0;
    while (length < data.size() && data[length] != 0) ++length;
    stored.text.assign(reinterpret_cast<const char*>(data.data()), length);
  }
  // A copy the joined value no longer matches (an older program wrote the value, or it was edited
  // by hand) is stale.
  if (ReadValue(key, ItemsValueName(valueName), type, data) && type == REG_MULTI_SZ) {
    std::vector<std::string> items = Strings(data);
    if (Join(items) == stored.text) stored.items = std::move(items);
  }
  RegCloseKey(key);
  return stored;
}
