#pragma once
// Where the local copies live: one SQLite file per server address under the user's cache folder,
// which may be deleted at any moment (the copies are rebuilt from the servers).
#include <string>

// ${XDG_CACHE_HOME:-$HOME/.cache}/Harrow/Kestrel; empty when neither variable gives a folder.
std::string IndexFolder();
// The file of server's copy in folder. Letters, digits, '.' and '-' stay; any other byte is
// written as %XX, so no address can reach outside the folder or share another's file.
std::string IndexFilePath(const std::string& folder, const std::string& server);
// Creates folder and its parents; false with the reason when it cannot.
bool MakeIndexFolder(const std::string& folder, std::string& why);
