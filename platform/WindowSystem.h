#pragma once
// What the window system lets a program do with its own windows.

// True on a Wayland session: the compositor places windows and may never report minimising, so a
// window hidden on "minimised" could be lost.
bool IsWaylandSession();
