#pragma once
// The Qt backend of the shell seam: one QSystemTrayIcon per added record. Adding fails where the
// desktop has no notification area (the offscreen platform, a bare X server).
#include <cstdint>

class QMenu;
class ShellNotifySink;

void InstallQtShell();

// Hands menu to the icon that sink and id added, as its context menu, so the desktop draws it
// (Wayland has no pop-up at the cursor for a program without a window there). False when no such
// icon was added through this backend. The icon does not own the menu.
bool SetTrayContextMenu(ShellNotifySink* sink, uint32_t id, QMenu* menu);
