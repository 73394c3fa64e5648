// Any bytes as a settings file: reading never crashes, and whatever reads as good survives a
// write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/RegistryText.h"
#include "platform/RegistryTree.h"

namespace {

bool SameTree(const RegistryTree& a, const RegistryTree& b) {
  auto ka = a.SortedKeys();
  auto kb = b.SortedKeys();
  for (const auto* key : ka) {
    if (!b.HasKey(key->path)) return false;
    for (const auto& v : key->values) {
      const RegistryValue* w = b.FindValue(key->path, v.name);
      if (!w || w->type != v.type || w->data != v.data || w->name != v.name) return false;
    }
  }
  for (const auto* key : kb) {
    for (const auto& v : key->values) {
      if (!a.FindValue(key->path, v.name)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RegistryTree first;
  if (!ParseRegistryText(text, first)) return 0;
  const std::string written = FormatRegistryText(first);
  RegistryTree second;
  if (!ParseRegistryText(written, second)) std::abort();
  if (!SameTree(first, second)) std::abort();
  if (FormatRegistryText(second) != written) std::abort();
  return 0;
}
