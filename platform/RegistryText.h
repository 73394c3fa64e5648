#pragma once
// The registry-export text format of the store file: reading (LF or CR LF lines) and writing
// (CR LF lines, lower-case hex).
#include <string>

#include "platform/RegistryTree.h"

// Fills tree from text; false when the text is not wholly in the format (tree is then partial
// and must not be used).
bool ParseRegistryText(const std::string& text, RegistryTree& tree);
std::string FormatRegistryText(const RegistryTree& tree);
