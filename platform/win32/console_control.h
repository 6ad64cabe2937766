// Console control events (Ctrl+C, Ctrl+Break, the console closed, logoff,
// shutdown) become a WM_CLOSE posted to one window of the process: its loop
// then ends the program in order.
#pragma once

#include <windows.h>

namespace vorn::platform::win32 {

// While it lives, SetConsoleCtrlHandler routes the process's console events
// to `window`. A handler is process-wide, so one route at a time: a newer one
// takes the events over.
class ConsoleControlRoute {
 public:
  explicit ConsoleControlRoute(HWND window);
  ~ConsoleControlRoute();
  ConsoleControlRoute(const ConsoleControlRoute&) = delete;
  ConsoleControlRoute& operator=(const ConsoleControlRoute&) = delete;

 private:
  HWND window_;
  bool installed_ = false;
};

}  // namespace vorn::platform::win32
