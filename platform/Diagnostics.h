#pragma once
// One line on standard error for each failure the user is told about, saying what the person
// supporting them needs: which server or file, which step, and the library's or the system's own
// error. The message boxes keep their fixed texts; this line stands beside them.
#include <functional>
#include <string>

// Writes "kestrel: <line>\n" with one write(2), so lines from several threads never mix. line is
// written as EscapedServerText makes it: one line, nothing a terminal acts on. Never pass a password.
void ReportFailure(const std::string& line);

// Tests, and kestrel-dupe (which makes one line of each failure): every later line goes to sink
// (escaped, without the prefix and the newline) instead of standard error; an empty sink goes
// back to standard error. The sink may be called from any thread.
using FailureSink = std::function<void(const std::string& line)>;
void SetFailureSink(FailureSink sink);

// "Permission denied (errno 13)".
std::string ErrnoText(int error);
