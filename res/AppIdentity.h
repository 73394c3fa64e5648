#pragma once
// How the desktop knows the program: its desktop entry's id (the file name without ".desktop"),
// which Wayland compositors use to match windows to the entry and its icon, its name and version.

inline constexpr char kDesktopEntryId[] = "kestrel";
inline constexpr char kApplicationName[] = "Kestrel";
inline constexpr char kApplicationVersion[] = "7.5";
