#pragma once
// The keys and values of the registry stand-in, held in memory between reading the file and
// writing it back. Key paths are relative to HKEY_LOCAL_MACHINE, parts separated by '\' ("" is
// the root); key parts and value names match without regard to ASCII case.
#include <string>
#include <vector>

#include "platform/Registry.h"

struct RegistryValue {
  std::string name;  // as first stored
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

class RegistryTree {
 public:
  struct Key {
    std::string path;  // spelling as first stored
    std::vector<RegistryValue> values;
  };

  // True for the root, for "SOFTWARE", for every stored key and every parent of one.
  bool HasKey(const std::string& path) const;
  // The path in the spelling of the keys that already exist (new parts as given).
  std::string StoredPath(const std::string& path) const;
  // Makes the key exist; false when it existed already.
  bool CreateKey(const std::string& path);

  const RegistryValue* FindValue(const std::string& path, const std::string& name) const;
  // Sets a value, creating the key when it is missing. The stored name is kept on overwrite.
  void SetValue(const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> data);
  // False when there was no such value.
  bool DeleteValue(const std::string& path, const std::string& name);

  // Stored keys in tree order (each parent before its children, siblings by name).
  std::vector<const Key*> SortedKeys() const;
  // True when the key has to be written for its existence to survive: it holds values, or no
  // other stored key lies below it. The root and "SOFTWARE" always exist.
  bool NeedsSection(const Key& key) const;

 private:
  Key* FindKey(const std::string& path);
  const Key* FindKey(const std::string& path) const;

  std::vector<Key> m_keys;
};

// ASCII case-insensitive comparison, as the registry matches names.
bool EqualsNoCase(const std::string& a, const std::string& b);
