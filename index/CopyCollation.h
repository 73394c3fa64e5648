#pragma once
// What the copy needs of a server's collation, behind functions so that the copy and the command
// line do not depend on how it is derived: the probe that reads it from a connected server, and
// what a stored collation gives (the folding of texts, the compiled masks).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "index/LocalIndex.h"

class DupesConnection;

struct CopyCollation {
  LocalFolder fold;
  // Nothing when the mask cannot be answered from the copy (the server is asked instead).
  std::function<std::optional<LocalMatcher>(const std::string& mask)> compile;
  // The same for whole directory names (kestrel-dupe --exact); unset: the server is asked.
  std::function<std::optional<LocalMatcher>(const std::vector<std::string>& names)> compileExact;
};

struct CopyCollationSource {
  // The collation of DUPES_DIR as bytes to store; false with the reason when it cannot be
  // reproduced here. key holds the copy's own on entry (or nothing): kept when the server's
  // collation is still that one.
  std::function<bool(DupesConnection& connection, std::string& key, std::string& why)> probe;
  // The stored bytes back; nothing when they are no collation.
  std::function<std::optional<CopyCollation>(const std::string& key)> load;

  bool Usable() const { return probe && load; }
};

// The source the programs use: the collation probed from the server, masks compiled to its own
// condition.
CopyCollationSource DefaultCopyCollationSource();
