#pragma once
// Waiting on the one QApplication of a GUI test program; GuiTestMain.cpp makes it.
#include <functional>

// Handles events until done() holds; false once milliseconds have passed without it.
bool WaitUntil(const std::function<bool()>& done, int milliseconds);
