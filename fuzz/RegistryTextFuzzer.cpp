// Any bytes as a settings file: reading never crashes, and whatever reads as good survives a
// write and a second read unchanged. And any tree the registry calls can make (names and key
// paths without control characters, any type and data) survives a write and a read.
//
// Input: a mode byte; even: the rest is a file; odd: the rest makes a tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/RegistryText.h"
#include "platform/RegistryTree.h"

namespace {

size_t ValueCount(const RegistryTree& t, const std::string& path) {
  for (const auto* key : t.SortedKeys()) {
    if (EqualsNoCase(key->path, path)) return key->values.size();
  }
  return 0;
}

// Same keys, and the same values under each with the same stored names, types and data.
bool SameTree(const RegistryTree& a, const RegistryTree& b) {
  for (const auto& pair : {std::pair{&a, &b}, std::pair{&b, &a}}) {
    for (const auto* key : pair.first->SortedKeys()) {
      if (!pair.second->HasKey(key->path)) return false;
      if (ValueCount(*pair.second, key->path) != key->values.size()) return false;
      for (const auto& v : key->values) {
        const RegistryValue* w = pair.second->FindValue(key->path, v.name);
        if (!w || w->type != v.type || w->data != v.data || w->name != v.name) return false;
      }
    }
  }
  return true;
}

// What the registry calls let through as a name or a key path part.
std::string Printable(std::string s) {
  for (char& c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = static_cast<char>(u + 0x40 < 0x7f ? u + 0x40 : '~');
  }
  return s;
}

std::string KeyPath(FuzzInput& in) {
  std::string path = "SOFTWARE";
  for (int parts = in.Byte() % 4; parts > 0; --parts) {
    std::string part = Printable(in.Text(8));
    std::erase(part, '\\');
    if (!part.empty()) path += "\\" + part;
  }
  return path;
}

void BuiltTreeRoundTrip(FuzzInput& in) {
  RegistryTree tree;
  while (!in.Done()) {
    const uint8_t op = in.Byte();
    const std::string path = KeyPath(in);
    if (op % 5 == 0) {
      tree.CreateKey(path);
      continue;
    }
    const std::string name = Printable(in.Text(10));
    if (op % 5 == 1) {
      tree.DeleteValue(path, name);
      continue;
    }
    const DWORD types[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_NONE, REG_EXPAND_SZ, REG_MULTI_SZ, 0x1234};
    const DWORD type = types[in.Byte() % 7];
    const std::string bytes = in.Text(20);
    std::vector<BYTE> data(bytes.begin(), bytes.end());
    if (type == REG_SZ && (op & 0x80)) data.push_back(0);  // as text is usually stored
    tree.SetValue(path, name, type, std::move(data));
  }
  const std::string written = FormatRegistryText(tree);
  RegistryTree read;
  FUZZ_CHECK(ParseRegistryText(written, read));
  FUZZ_CHECK(SameTree(tree, read));
  FUZZ_CHECK(FormatRegistryText(read) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    FuzzInput in(data + 1, size - 1);
    BuiltTreeRoundTrip(in);
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  RegistryTree first;
  if (!ParseRegistryText(text, first)) return 0;
  const std::string written = FormatRegistryText(first);
  RegistryTree second;
  FUZZ_CHECK(ParseRegistryText(written, second));
  FUZZ_CHECK(SameTree(first, second));
  FUZZ_CHECK(FormatRegistryText(second) == written);
  return 0;
}
