#pragma once
// How the desktop knows the program: its desktop entry's id (the file name without ".desktop"),
// which Wayland compositors use to match windows to the entry and its icon, its name and version.
#include "res/Version.h"

inline constexpr char kDesktopEntryId[] = "io.github.kestrel.Kestrel";
inline constexpr char kApplicationName[] = "Kestrel";
inline constexpr char kApplicationVersion[] = KESTREL_VERSION;
