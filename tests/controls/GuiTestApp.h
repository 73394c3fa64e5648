#pragma once
// The one QApplication of a GUI test program (offscreen platform).
#include <QApplication>

QApplication& GuiTestApp();
