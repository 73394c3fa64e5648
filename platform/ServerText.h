#pragma once
// Servers are not trusted, and neither are the names people give their releases. A text that came
// from a server (a directory, a date, an error message) is shown and written by one rule, on
// every output: nothing in it is hidden, moves other text, breaks its line or reaches a terminal
// as a command. The list and the clipboard, window fields and titles take ShownServerText; the
// session log, the failure lines on standard error and kestrel-dupe take EscapedServerText.
//
// A hidden character is one that is not drawn as itself, or that changes how the text around it
// is laid out or read:
//   - the C0 controls U+0000-U+001F, DEL and the C1 controls U+0080-U+009F;
//   - the bidirectional controls U+061C, U+200E, U+200F, U+202A-U+202E and U+2066-U+2069;
//   - the line and paragraph separators U+2028 and U+2029;
//   - the zero-width characters U+200B, U+2060 and U+FEFF, which make two names look alike.
// Joiners (U+200C, U+200D) stay: scripts and emoji need them, and they move nothing.
#include <string>
#include <string_view>

bool IsHiddenCharacter(char32_t cp);

// For the screen and the clipboard, as UTF-8: valid UTF-8 as it is; each byte that is not part of
// valid UTF-8 as U+FFFD; C0 controls and DEL as their control pictures (a NUL as U+2400); every
// other hidden character by its number, as "<U+202E>".
std::string ShownServerText(std::string_view bytes);

// For line-based text outputs: a backslash as "\\", each byte of a hidden character as "\x1b"
// (U+202E as "\xe2\x80\xae"), every other byte as it is, bytes that are not UTF-8 included. The
// result is one line and reads back to the same bytes (UnescapeServerText).
std::string EscapedServerText(std::string_view bytes);

// The bytes EscapedServerText was given, from its result.
std::string UnescapeServerText(std::string_view escaped);
