#pragma once
// What the program answers before its toolkit starts: --help and --version, which need no
// display and leave the settings alone, and whether a window system is named at all.
#include <cstdio>
#include <optional>
#include <string>

#include "db/DupesEndpoints.h"

// The exit code when the arguments ask for --help (or -h) or --version, the answer written to
// out; nothing otherwise. Arguments after "--" are file names, not options.
std::optional<int> AnswerInfoOption(int argc, char** argv, const std::string& packageVersion,
                                    const DupesEndpoints& servers, std::FILE* out);

// Whether a window system is named: by -platform, QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY.
bool NamesWindowSystem(int argc, char** argv);
