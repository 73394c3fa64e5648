#pragma once
// SIGTERM and SIGINT end Kestrel as Quit does. The handler only notes the signal; quit runs on
// the UI thread from the event loop. Catching starts first thing in main, so a signal that comes
// while Qt is still loading is kept until the loop can act on it.
#include <functional>

void CatchQuitSignals();
// Once the application object exists: what a caught signal does.
void OnQuitSignal(std::function<void()> quit);
