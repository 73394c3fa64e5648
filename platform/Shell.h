#pragma once
// Stand-in for the shell's notification area: add, change or delete an icon described by a
// notification record. The GUI installs a backend on the desktop's tray; tests install one that
// records the calls. Without a backend there is no tray and every call fails.
#include <cstdint>
#include <functional>

constexpr uint32_t NIM_ADD = 0x0;
constexpr uint32_t NIM_MODIFY = 0x1;
constexpr uint32_t NIM_DELETE = 0x2;

constexpr uint32_t NIF_MESSAGE = 0x1;
constexpr uint32_t NIF_ICON = 0x2;
constexpr uint32_t NIF_TIP = 0x4;

// Mouse messages a tray icon reports to its window.
constexpr uint32_t WM_MOUSEMOVE = 0x200;
constexpr uint32_t WM_LBUTTONDOWN = 0x201;
constexpr uint32_t WM_LBUTTONUP = 0x202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x203;
constexpr uint32_t WM_RBUTTONDOWN = 0x204;
constexpr uint32_t WM_RBUTTONUP = 0x205;
constexpr uint32_t WM_MBUTTONDOWN = 0x207;
constexpr uint32_t WM_USER = 0x400;

// The window side of a tray icon: receives the record's callback message with the icon id and
// the mouse message.
class ShellNotifySink {
 public:
  virtual void OnShellNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

 protected:
  ~ShellNotifySink() = default;
};

struct NOTIFYICONDATA {
  uint32_t cbSize = 0;
  ShellNotifySink* hWnd = nullptr;  // where notifications go
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  const void* hIcon = nullptr;  // opaque to the core: a const QIcon* in the GUI
  char szTip[64] = {};
};

// The size of the record as the shell knows it.
constexpr uint32_t kNotifyIconDataSize = 88;

using ShellNotifyHandler = std::function<bool(uint32_t message, const NOTIFYICONDATA& data)>;

// Replaces the backend; returns the previous one.
ShellNotifyHandler SetShellNotifyHandler(ShellNotifyHandler handler);

// True when the shell did what was asked.
bool Shell_NotifyIcon(uint32_t message, const NOTIFYICONDATA& data);
