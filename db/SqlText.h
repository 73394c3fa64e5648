#pragma once
// Text that goes between single quotes in a statement.
#include <string>

// Doubles quotes and backslashes and writes a NUL as \0, so under the server's default SQL mode
// the literal reads back as text exactly and no character of it can end the literal early.
std::string EscapeSqlLiteral(const std::string& text);
