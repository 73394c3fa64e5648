#pragma once
// Text that goes between single quotes in a statement.
#include <string>

// Doubles quotes and backslashes and writes a NUL as \0, so under the server's default SQL mode
// the literal reads back as text exactly and no character of it can end the literal early.
std::string EscapeSqlLiteral(const std::string& text);

// Whether the server's character set charset (as the server names it: "latin1", "utf8mb3", ...)
// holds every character of the UTF-8 text, so that the text reaches it whole instead of with '?'
// in place of a letter. Text that is not UTF-8 is held by none; a set not known here holds all.
bool CharsetCanHold(const std::string& charset, const std::string& text);
