#pragma once
// The string table.
#include <string>

// The string of resource id, or "" when there is none.
std::string LoadResString(unsigned id);
