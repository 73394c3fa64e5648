#pragma once
// Kestrel.reg, the settings of this user: ${XDG_CONFIG_HOME:-$HOME/.config}/Harrow/Kestrel.reg.
// Parsed once, and again only when it changed on disk (another instance may write it). Every
// write takes a lock on Kestrel.reg.lock, re-reads the file, applies its changes, and replaces the
// file through a flushed temporary, so two instances never lose each other's values and a crash
// never leaves half a file. A file that cannot be read reads as empty and is moved aside
// (Kestrel.reg.bad-<time>) by the first write. Failures are told on standard error, once each.
#include <sys/stat.h>

#include <array>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsText.h"

class SettingsFile {
 public:
  // The one store of the process.
  static SettingsFile& Shared();

  std::string Path();
  // Tests and benchmarks point the store elsewhere; "" goes back to the user's file.
  void SetPath(const std::string& path);

  // The file as it is now, with the held changes applied.
  SettingsText Read();
  // The file, when present, and its folder (or the nearest folder that exists) are writable.
  bool IsWritable();
  // Makes key exist and applies changes to it, on disk when this returns (or, while held, when
  // the hold ends). False when the file could not be written or a name holds a control character.
  bool Write(const std::string& key, const std::vector<SettingChange>& changes = {});
  // Writes from now on wait for Release, which makes them all in one write.
  void Hold();
  bool Release();

 private:
  enum class State { Missing, Good, Bad };
  // A key and a change to it; no change only makes the key.
  using Held = std::pair<std::string, std::optional<SettingChange>>;
  State Load(SettingsText& text);
  // The file at path, as st shows it, holds text: read it again only when it changes.
  void Remember(const std::string& path, const struct stat& st, const SettingsText& text);
  bool Update(const std::vector<Held>& changes);
  bool MoveAside(const std::string& file);
  bool WriteReplacing(const std::string& file, const std::string& text);
  // One line on standard error, once until a write goes through; false.
  bool Report(const std::string& step, const std::string& why);
  bool ReportErrno(const std::string& step);

  std::recursive_mutex m_mutex;
  std::string m_path;  // "" for the user's file
  // The file as last read or written, so unchanged files are parsed once.
  std::string m_cachedPath;
  std::array<long long, 7> m_stamp{};
  SettingsText m_cached;
  bool m_holding = false;
  std::vector<Held> m_held;  // in the order they were made
  std::vector<std::string> m_reported;
};
