#pragma once
// The one QApplication of a GUI test program (offscreen platform), and waiting on it.
#include <QApplication>
#include <functional>

QApplication& GuiTestApp();

// Handles events until done() holds; false once milliseconds have passed without it.
bool WaitUntil(const std::function<bool()>& done, int milliseconds);
