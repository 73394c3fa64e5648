#pragma once
// How the bytes of an NFO become text. NFO files come as UTF-8 or, mostly, as bytes of the DOS
// code page 437 drawn by a terminal font. A byte string that is valid UTF-8 as a whole is taken as
// UTF-8; anything else is read as CP437 from the first byte to the last, never mixed.
#include <string>
#include <string_view>

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
bool IsValidUtf8(std::string_view bytes);

// The code point code page 437 draws for byte. The graphic characters of 0x01-0x1F and 0x7F are
// the terminal font's, except tab, line feed and carriage return, which keep laying out the text.
// A NUL is drawn as a blank cell.
char32_t Cp437ToUnicode(unsigned char byte);

std::string Cp437ToUtf8(std::string_view bytes);

// The text to show for the stored bytes, as UTF-8. Line ends stay as stored.
std::string NfoTextToUtf8(std::string_view bytes);
