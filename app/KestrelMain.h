#pragma once
// The whole run of the program, from catching the quit signals to the exit code. main() calls
// it with the built-in servers; the process tests' program calls it with servers of their own
// and a hook that drives the windows.
#include <functional>

#include "db/DupesEndpoints.h"

class CKestrelApp;

// beforeStart runs once the application object exists, before start-up (InitInstance).
int RunKestrel(int argc, char** argv, const DupesEndpoints& endpoints,
               const std::function<void(CKestrelApp&)>& beforeStart = nullptr);
