#pragma once
// What the window system lets a program do with its own windows.
class QWidget;

// True on a Wayland session: the compositor places windows and may never report minimising, so a
// window hidden on "minimised" could be lost.
bool IsWaylandSession();

// What a window manager draws around a window and what it lets the user do with it, as X11
// window managers read them (_MOTIF_WM_HINTS). Qt's window flags cannot say "caption and sizing
// border, no buttons" nor "border, no caption", and always offer resizing: these say it exactly.
enum WindowDecoration : unsigned {
  kDecorBorder = 1u << 1,
  kDecorSizingBorder = 1u << 2,
  kDecorTitle = 1u << 3,
  kDecorMenu = 1u << 4,
  kDecorMinimize = 1u << 5,
  kDecorMaximize = 1u << 6,
};
enum WindowFunction : unsigned {
  kFuncResize = 1u << 1,
  kFuncMove = 1u << 2,
  kFuncMinimize = 1u << 3,
  kFuncMaximize = 1u << 4,
  kFuncClose = 1u << 5,
};

// Sets them on window's native window, which must exist; call it before the window is mapped
// (from showEvent) so the window manager reads them when it takes the window. Only on X11: a
// Wayland compositor has no such hints, and there Qt's window flags and the window's fixed size
// are all it is told.
void SetWindowDecorations(QWidget* window, unsigned decorations, unsigned functions);
