#pragma once
// The Qt backend of the shell seam: one QSystemTrayIcon per added record. Adding fails where the
// desktop has no notification area (the offscreen platform, a bare X server).

void InstallQtShell();
