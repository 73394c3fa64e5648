#include "controls/HistoryStore.h"

#include <vector>

namespace {
constexpr const char* kHistoryKey = "HistoryCombo";
}

bool HistoryStore::ResolveNames(const std::string& valueName, std::string& company,
                                std::string& application) {
  if (valueName.empty()) return false;
  if (company.empty()) company = kDefaultCompany;
  if (company.empty()) return false;
  if (application.empty()) application = kDefaultApplication;
  return true;
}

bool HistoryStore::WriteHistory(HKEY root, const std::string& company, const std::string& application,
                                const std::string& valueName, const std::string& history) {
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
  LONG rc;
  if (history.empty()) {
    rc = RegDeleteValue(key, valueName);
  } else {
    rc = RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(history.c_str()),
                       static_cast<DWORD>(history.size() + 1));
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

std::string HistoryStore::ReadHistory(HKEY root, const std::string& company, const std::string& application,
                                      const std::string& valueName) {
  HKEY key = root;
  for (const std::string& name : {std::string("Software"), company, application, std::string(kHistoryKey)}) {
    HKEY child = nullptr;
    LONG rc = RegOpenKeyEx(key, name, 0, KEY_READ, &child);
    if (key != root) RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::string();
    key = child;
  }
  std::string result;
  DWORD size = 0;
  if (RegQueryValueEx(key, valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
    std::vector<BYTE> data(size);
    if (RegQueryValueEx(key, valueName, nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS) {
      // Text ends at its terminating NUL; data of other types is taken up to its first NUL.
      size_t length = 0;
      while (length < size && data[length] != 0) ++length;
      result.assign(reinterpret_cast<const char*>(data.data()), length);
    }
  }
  RegCloseKey(key);
  return result;
}
