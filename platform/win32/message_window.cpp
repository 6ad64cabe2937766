// RegisterClassExA, CreateWindowExA(HWND_MESSAGE), the window procedure that
// finds its receiver in GWLP_USERDATA, DestroyWindow.
#include "platform/win32/message_window.h"

#include <system_error>

namespace vorn::platform::win32 {
namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* receiver = reinterpret_cast<WindowMessages*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (receiver != nullptr && receiver->onMessage(message, wParam, lParam, result)) return result;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

// The class, registered once for the process; 0 or the code of the failure.
DWORD registerWindowClass() {
  static const DWORD result = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = MessageWindow::kClassName;
    return ::RegisterClassExA(&windowClass) != 0 ? DWORD{0} : ::GetLastError();
  }();
  return result;
}

}  // namespace

MessageWindow::MessageWindow(WindowMessages& receiver) {
  if (const DWORD error = registerWindowClass())
    throw std::system_error(static_cast<int>(error), std::system_category(), "RegisterClassExA");
  window_ = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleA(nullptr),
                              &receiver);
  if (window_ == nullptr)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateWindowExA");
}

MessageWindow::~MessageWindow() {
  // Nothing may reach the receiver any more, which goes with this window.
  ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  dropQueued(0, 0);
  ::DestroyWindow(window_);
}

void MessageWindow::dropQueued(UINT first, UINT last) const {
  MSG message;
  while (::PeekMessageA(&message, window_, first, last, PM_REMOVE | PM_NOYIELD)) {
    // PeekMessage hands out the thread's quit request whatever the filter:
    // it is not ours to drop.
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
  }
}

}  // namespace vorn::platform::win32
