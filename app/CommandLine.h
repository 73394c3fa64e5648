#pragma once
// What the program answers before its toolkit starts: --help and --version, which need no
// display and leave the settings alone, an option nobody takes, and whether a window system is
// named at all.
#include <cstdio>
#include <optional>
#include <string>

#include "db/DupesEndpoints.h"

// The exit code when the arguments ask for --help (or -h) or --version, the answer written to
// out; nothing otherwise. Arguments after "--" are file names, not options.
std::optional<int> AnswerInfoOption(int argc, char** argv, const std::string& packageVersion,
                                    const DupesEndpoints& servers, std::FILE* out);

// The first argument before "--" that looks like an option ("-x", "--x") and is neither ours
// nor one of the toolkit's; nothing when there is none. A lone "-" is a file name.
std::optional<std::string> UnknownOption(int argc, char** argv);

// Whether a window system is named: by -platform, QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY.
bool NamesWindowSystem(int argc, char** argv);
