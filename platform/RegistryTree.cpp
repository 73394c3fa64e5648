#include "platform/RegistryTree.h"

#include <algorithm>

#include "platform/AsciiText.h"

namespace {

// True when path lies strictly below parent ("A\B" below "a").
bool IsBelow(const std::string& path, const std::string& parent) {
  if (parent.empty()) return !path.empty();
  return path.size() > parent.size() && path[parent.size()] == '\\' &&
         EqualsNoCase(path.substr(0, parent.size()), parent);
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  if (path.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    parts.push_back(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

// Component-wise, case-insensitive: a parent sorts before its children.
bool PathLess(const std::string& a, const std::string& b) {
  auto pa = SplitPath(a), pb = SplitPath(b);
  for (size_t i = 0; i < pa.size() && i < pb.size(); ++i) {
    std::string la = pa[i], lb = pb[i];
    std::transform(la.begin(), la.end(), la.begin(), AsciiLower);
    std::transform(lb.begin(), lb.end(), lb.begin(), AsciiLower);
    if (la != lb) return la < lb;
  }
  return pa.size() < pb.size();
}

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool RegistryTree::HasKey(const std::string& path) const {
  if (path.empty() || EqualsNoCase(path, "SOFTWARE")) return true;
  return std::any_of(m_keys.begin(), m_keys.end(),
                     [&](const Key& k) { return EqualsNoCase(k.path, path) || IsBelow(k.path, path); });
}

std::string RegistryTree::StoredPath(const std::string& path) const {
  std::string result;
  for (const std::string& part : SplitPath(path)) {
    std::string wanted = result.empty() ? part : result + "\\" + part;
    std::string spelled = wanted;
    if (result.empty() && EqualsNoCase(part, "SOFTWARE")) spelled = "SOFTWARE";
    for (const Key& k : m_keys) {
      if (EqualsNoCase(k.path, wanted) || IsBelow(k.path, wanted)) {
        spelled = k.path.substr(0, wanted.size());
        break;
      }
    }
    result = spelled;
  }
  return result;
}

RegistryTree::Key* RegistryTree::FindKey(const std::string& path) {
  for (Key& k : m_keys)
    if (EqualsNoCase(k.path, path)) return &k;
  return nullptr;
}

const RegistryTree::Key* RegistryTree::FindKey(const std::string& path) const {
  return const_cast<RegistryTree*>(this)->FindKey(path);
}

bool RegistryTree::CreateKey(const std::string& path) {
  if (HasKey(path)) return false;
  m_keys.push_back({StoredPath(path), {}});
  return true;
}

const RegistryValue* RegistryTree::FindValue(const std::string& path, const std::string& name) const {
  const Key* key = FindKey(path);
  if (!key) return nullptr;
  for (const RegistryValue& v : key->values)
    if (EqualsNoCase(v.name, name)) return &v;
  return nullptr;
}

void RegistryTree::SetValue(const std::string& path, const std::string& name, DWORD type,
                            std::vector<BYTE> data) {
  Key* key = FindKey(path);
  if (!key) {
    m_keys.push_back({StoredPath(path), {}});
    key = &m_keys.back();
  }
  for (RegistryValue& v : key->values) {
    if (EqualsNoCase(v.name, name)) {
      v.type = type;
      v.data = std::move(data);
      return;
    }
  }
  key->values.push_back({name, type, std::move(data)});
}

bool RegistryTree::DeleteValue(const std::string& path, const std::string& name) {
  Key* key = FindKey(path);
  if (!key) return false;
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const RegistryValue& v) { return EqualsNoCase(v.name, name); });
  if (it == key->values.end()) return false;
  key->values.erase(it);
  return true;
}

std::vector<const RegistryTree::Key*> RegistryTree::SortedKeys() const {
  std::vector<const Key*> keys;
  for (const Key& k : m_keys) keys.push_back(&k);
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Key* a, const Key* b) { return PathLess(a->path, b->path); });
  return keys;
}

bool RegistryTree::NeedsSection(const Key& key) const {
  if (!key.values.empty()) return true;
  if (key.path.empty() || EqualsNoCase(key.path, "SOFTWARE")) return false;
  return std::none_of(m_keys.begin(), m_keys.end(), [&](const Key& k) { return IsBelow(k.path, key.path); });
}
