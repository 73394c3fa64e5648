#pragma once
// The store file on disk. Readers take the file as it stands (it is only ever replaced whole, by
// rename); writers serialise on a separate lock file, re-read under the lock, and replace the
// file through a flushed temporary so a crash never leaves a half-written file.
#include <functional>
#include <string>

#include "platform/RegistryTree.h"

class RegistryFile {
 public:
  enum class State { Missing, Good, Bad };

  explicit RegistryFile(std::string path) : m_path(std::move(path)) {}

  // A missing or bad file leaves tree empty.
  State Load(RegistryTree& tree) const;
  // The file, when present, and its folder (or the nearest folder that exists) are writable.
  bool IsWritable() const;
  // Under the lock: re-reads the file and lets change edit it; when change returns true the
  // result is written back and on disk before this returns. A bad file is moved aside as
  // <file>.bad-<time> before the first write. False when the file could not be written. change
  // may run twice (once on the file as last seen, to skip a write it already holds), so it
  // should only set its results.
  bool Update(const std::function<bool(RegistryTree&)>& change) const;

 private:
  std::string Folder() const;
  // file: m_path, or the file its links end at.
  bool MoveAside(const std::string& file) const;
  bool WriteReplacing(const std::string& file, const std::string& text) const;

  std::string m_path;
};
