#pragma once
// What the window system lets a program do with its own windows.
#include <QList>

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

// A window that belongs to owner without being its Qt child (a Qt child would share its boxes'
// modality with the owner). It hides and comes back with the owner as a Qt child window does.
void SetWindowOwner(QWidget* window, QWidget* owner);

// The other top-level windows owner's window owns: its Qt child windows and those given it by
// SetWindowOwner.
QList<QWidget*> OwnedWindows(const QWidget* owner);

// A window of fixed size is never maximised: a request to maximise it, from the program, the
// window manager or the decoration Qt draws on Wayland, is turned back. On Wayland the
// compositor's maximised size, once acknowledged, must be drawn or the connection ends: the
// window takes it for one frame, then goes back. Watches every window of the application from
// the call on.
void KeepFixedSizeWindowsUnmaximised();
