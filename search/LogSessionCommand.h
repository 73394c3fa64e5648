#pragma once
// The "&Log Session" command of the search form: switches session logging, asks for the file
// when logging goes on, and stores the choice in the settings at once.
#include <functional>
#include <string>

// bLog, strLogFile: the form's logging flag and log file path, updated in place. owner: the
// window that owns the Save As dialog (the main frame). setLogCheck puts the pop-up menu's check
// mark to the resulting flag. Cancelling the dialog leaves logging off and the path unchanged.
// Returns the resulting flag.
bool RunLogSessionCommand(bool& bLog, std::string& strLogFile, void* owner,
                          const std::function<void(bool)>& setLogCheck);
