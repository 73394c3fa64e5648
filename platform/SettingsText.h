#pragma once
// What Kestrel.reg holds, read from and written as the registry-export text format: keys below
// HKEY_LOCAL_MACHINE ("SOFTWARE\Harrow\Kestrel", parts matched without regard to ASCII case) with
// named values. Values of any type survive a rewrite unchanged; callers see them typed.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// A number (dword), a text, a list of texts, or nothing: the value is removed.
using SettingValue = std::variant<std::monostate, uint32_t, std::string, std::vector<std::string>>;

struct SettingChange {
  std::string name;
  SettingValue value;
};

class SettingsText {
 public:
  // False when text is not wholly in the format (UTF-8, or a UTF-16 export behind its mark).
  bool Parse(const std::string& text);
  std::string Format() const;

  // True for the root, for "SOFTWARE", for every stored key and every parent of one.
  bool HasKey(const std::string& key) const;
  // A value of at most four bytes, of any type, as a little-endian number.
  std::optional<uint32_t> Number(const std::string& key, const std::string& name) const;
  // A value of any type up to its first NUL, when the whole value fits maxBytes.
  std::optional<std::string> Text(const std::string& key, const std::string& name,
                                  size_t maxBytes = SIZE_MAX) const;
  bool IsText(const std::string& key, const std::string& name) const;
  // A list of texts (multi-string), up to its first empty item.
  std::optional<std::vector<std::string>> List(const std::string& key, const std::string& name) const;

  // Makes key exist and applies change to it; an overwrite keeps the stored name. True when
  // anything changed.
  bool Apply(const std::string& key, const std::optional<SettingChange>& change);

 private:
  struct Value {
    std::string name;  // as first stored
    uint32_t type;
    std::string data;
  };
  struct Key {
    std::string path;  // as first stored
    std::vector<Value> values;
  };

  bool ParseLines(const std::string& text);  // UTF-8
  Key* FindKey(const std::string& path);
  const Value* Find(const std::string& key, const std::string& name) const;
  std::string StoredPath(const std::string& path) const;
  void Set(const std::string& key, const std::string& name, uint32_t type, std::string data);
  bool Remove(const std::string& key, const std::string& name);
  // Has to be written for its existence to survive: it holds values, or no other key lies below.
  bool NeedsSection(const Key& key) const;

  std::vector<Key> m_keys;
};
