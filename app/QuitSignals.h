#pragma once
// SIGTERM and SIGINT end Kestrel as Quit does: the handler only notes the signal, and quit runs
// on the UI thread from the event loop.
#include <functional>

void InstallQuitSignals(std::function<void()> quit);
