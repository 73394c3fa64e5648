#pragma once
// Reading and writing UTF-8 one code point at a time.
#include <cstddef>
#include <string>
#include <string_view>

// The length of the valid UTF-8 sequence at i, with its code point in cp; 0 when the byte there
// does not begin one. Strict: no overlong forms, no surrogates, nothing above U+10FFFF, no
// cut-off sequence.
size_t Utf8SequenceAt(std::string_view bytes, size_t i, char32_t& cp);

void AppendUtf8(std::string& out, char32_t cp);
