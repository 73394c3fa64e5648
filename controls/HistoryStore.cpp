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
  HKEY key = software;
  for (const std::string& name : {company, application, std::string(kHistoryKey)}) {
    HKEY child = nullptr;
    LONG rc = RegCreateKeyEx(key, name, 0, "", REG_OPTION_NON_VOLATILE, access, nullptr, &child, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    key = child;
  }
  const std::string history = Join(items);
  LONG rc;
  if (history.empty()) {
    rc = RegDeleteValue(key, valueName);
  } else {
    rc = RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(history.c_str()),
                       static_cast<DWORD>(history.size() + 1));
  }
  // The copy follows the joined value; should it fail, reading finds the two disagree and takes
  // the joined value, so the copy's result does not count.
  const std::string copyName = ItemsValueName(valueName);
  if (rc == ERROR_SUCCESS && !history.empty() && !HasNul(items)) {
    const std::vector<BYTE> data = MultiString(items);
    RegSetValueEx(key, copyName, 0, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
  } else {
    RegDeleteValue(key, copyName);
  }
  RegCloseKey(key);
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
