#include "platform/Registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/RegistryFile.h"
#include "platform/RegistryTree.h"

struct RegistryKey {
  std::string path;  // below HKEY_LOCAL_MACHINE, "" for the root itself
  DWORD access = 0;
};

namespace {

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;

RegistryKey g_root{"", KEY_ALL_ACCESS};

std::mutex g_mutex;  // guards the two below
std::set<const RegistryKey*> g_openKeys;
std::string g_pathOverride;

// Closed or made-up handles fail instead of being followed.
bool IsOpen(HKEY key) {
  if (key == &g_root) return true;
  std::lock_guard<std::mutex> lock(g_mutex);
  return key && g_openKeys.count(key);
}

HKEY NewHandle(const std::string& path, DWORD access) {
  HKEY key = new RegistryKey{path, access};
  std::lock_guard<std::mutex> lock(g_mutex);
  g_openKeys.insert(key);
  return key;
}

bool HasControlChar(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

// Joins parent and subKey; false for a malformed subKey (leading '\', empty parts).
bool JoinPath(HKEY parent, std::string subKey, std::string& path) {
  if (!subKey.empty() && subKey.back() == '\\') subKey.pop_back();
  if ((!subKey.empty() && subKey.front() == '\\') || subKey.find("\\\\") != std::string::npos ||
      HasControlChar(subKey))
    return false;
  if (subKey.empty()) {
    path = parent->path;
  } else {
    path = parent->path.empty() ? subKey : parent->path + "\\" + subKey;
  }
  return true;
}

bool WantsWrite(DWORD access) {
  return access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
}

RegistryFile Store() {
  return RegistryFile(RegistryFilePath());
}

}  // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_root;

LONG RegOpenKeyEx(HKEY parent, const std::string& subKey, DWORD, DWORD access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!IsOpen(parent)) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(parent, subKey, path)) return ERROR_INVALID_PARAMETER;
  RegistryFile file = Store();
  RegistryTree tree;
  file.Load(tree);
  if (!tree.HasKey(path)) return ERROR_FILE_NOT_FOUND;
  if (WantsWrite(access) && !file.IsWritable()) return ERROR_ACCESS_DENIED;
  *result = NewHandle(tree.StoredPath(path), access);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY parent, const std::string& subKey, DWORD, const std::string&, DWORD, DWORD access,
                    void*, HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!IsOpen(parent)) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(parent, subKey, path)) return ERROR_INVALID_PARAMETER;
  RegistryFile file = Store();
  RegistryTree tree;
  file.Load(tree);
  bool exists = tree.HasKey(path);
  if ((WantsWrite(access) || !exists) && !file.IsWritable()) return ERROR_ACCESS_DENIED;
  bool created = false;
  if (!exists) {
    std::string stored;
    if (!file.Update([&](RegistryTree& current) {
          created = current.CreateKey(path);
          stored = current.StoredPath(path);
          return created;
        }))
      return ERROR_ACCESS_DENIED;
    path = stored;
  } else {
    path = tree.StoredPath(path);
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(path, access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const std::string& name, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* size) {
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  RegistryTree tree;
  Store().Load(tree);
  const RegistryValue* value = tree.FindValue(key->path, name);
  if (!value) return ERROR_FILE_NOT_FOUND;
  DWORD needed = DWORD(value->data.size());
  if (type) *type = value->type;
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data && needed) std::memcpy(data, value->data.data(), needed);
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, const std::string& name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if ((!data && size) || HasControlChar(name)) return ERROR_INVALID_PARAMETER;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<BYTE> bytes(data, data + size);
  bool ok = Store().Update([&](RegistryTree& tree) {
    const RegistryValue* old = tree.FindValue(key->path, name);
    if (old && old->type == type && old->data == bytes) return false;
    tree.SetValue(key->path, name, type, bytes);
    return true;
  });
  return ok ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteValue(HKEY key, const std::string& name) {
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  bool found = false;
  bool ok = Store().Update([&](RegistryTree& tree) { return found = tree.DeleteValue(key->path, name); });
  if (!ok) return ERROR_ACCESS_DENIED;
  return found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegSetValues(HKEY parent, const std::string& subKey, const std::vector<RegistryChange>& changes) {
  if (!IsOpen(parent)) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(parent, subKey, path)) return ERROR_INVALID_PARAMETER;
  for (const RegistryChange& c : changes)
    if (HasControlChar(c.name)) return ERROR_INVALID_PARAMETER;
  if (!(parent->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  bool firstFound = true;
  bool ok = Store().Update([&](RegistryTree& tree) {
    bool changed = tree.CreateKey(path);
    const std::string at = tree.StoredPath(path);
    for (size_t i = 0; i < changes.size(); ++i) {
      const RegistryChange& c = changes[i];
      if (c.remove) {
        const bool found = tree.DeleteValue(at, c.name);
        if (i == 0) firstFound = found;
        changed |= found;
        continue;
      }
      if (i == 0) firstFound = true;
      const RegistryValue* old = tree.FindValue(at, c.name);
      if (old && old->type == c.type && old->data == c.data) continue;
      tree.SetValue(at, c.name, c.type, c.data);
      changed = true;
    }
    return changed;
  });
  if (!ok) return ERROR_ACCESS_DENIED;
  return firstFound ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegCloseKey(HKEY key) {
  if (key == &g_root) return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!key || !g_openKeys.erase(key)) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

std::string RegistryFilePath() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_pathOverride.empty()) return g_pathOverride;
  }
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/') {
    config = xdg;  // the base-directory rules ignore a relative setting
  } else if (home && home[0]) {
    config = std::string(home) + "/.config";
  } else if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0]) {
    config = std::string(pw->pw_dir) + "/.config";
  } else {
    return "";
  }
  return config + "/Harrow/Kestrel.reg";
}

void SetRegistryFilePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_pathOverride = path;
}
