#pragma once
// Runs a call on the UI thread and waits for it: the way a worker reaches windows. On the UI
// thread itself the call runs at once. Without a running application the call is dropped, so a
// worker left behind at exit cannot touch a window that is gone.
#include <functional>

// True when call ran.
bool RunOnUiThread(const std::function<void()>& call);
