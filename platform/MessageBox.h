#pragma once
// Stand-in for the system message box, callable from any thread: the call waits for the answer.
// The GUI installs a handler that shows a real box on the UI thread; tests install one that
// records the call and answers from a script.
#include <functional>
#include <string>

// Buttons and icons, with the values of the original.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// owner: the window the box belongs to (opaque here: a QWidget* in the GUI, null for none).
using MessageBoxHandler =
    std::function<int(void* owner, const std::string& text, const std::string& caption, unsigned flags)>;

// Replaces the handler; returns the previous one. Without a handler every box answers IDOK
// (or IDYES for MB_YESNO) at once.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
int ShowMessageBox(void* owner, const std::string& text, const std::string& caption, unsigned flags);
