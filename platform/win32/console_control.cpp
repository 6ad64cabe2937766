#include "platform/win32/console_control.h"

#include <atomic>

namespace vorn::platform::win32 {
namespace {

// How long the handler keeps the process alive for an orderly end when
// Windows ends it as the handler returns (console closed, logoff, shutdown).
constexpr ULONGLONG kOrderlyEndMs = 5000;

// The window that receives the events: process-wide, as the handler is.
std::atomic<HWND> routedWindow = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
  const HWND window = routedWindow.load();
  if (window == nullptr || !::PostMessageA(window, WM_CLOSE, 0, 0)) return FALSE;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The route goes with the loop's window, once the program has ended in order.
    const ULONGLONG deadline = ::GetTickCount64() + kOrderlyEndMs;
    while (routedWindow.load() == window && ::GetTickCount64() < deadline) ::Sleep(20);
  }
  return TRUE;
}

}  // namespace

ConsoleControlRoute::ConsoleControlRoute(HWND window) : window_(window) {
  routedWindow.store(window);
  // Without a console there are no events to route, and nothing is lost.
  installed_ = ::SetConsoleCtrlHandler(onConsoleControl, TRUE) != FALSE;
}

ConsoleControlRoute::~ConsoleControlRoute() {
  HWND expected = window_;
  routedWindow.compare_exchange_strong(expected, nullptr);
  if (installed_) ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
}

}  // namespace vorn::platform::win32
