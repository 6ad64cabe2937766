// The hidden window of a thread's message loop: a message-only window
// (HWND_MESSAGE), never shown, that receives the messages posted to it and
// the socket notifications WSAAsyncSelect sends.
#pragma once

#include <windows.h>

namespace vorn::platform::win32 {

// What the window's procedure hands its messages to.
class WindowMessages {
 public:
  // Handles `message`; false leaves it to DefWindowProcA.
  virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

 protected:
  ~WindowMessages() = default;
};

class MessageWindow {
 public:
  // The window class every loop's window belongs to.
  static constexpr const char* kClassName = "VornPrintEventLoop";

  // RegisterClassExA (once per process) and CreateWindowExA on the calling
  // thread, whose message queue then receives what is posted to the window.
  // Throws std::system_error when the window cannot be made.
  explicit MessageWindow(WindowMessages& receiver);
  // Drops what is still queued for the window and destroys it.
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND handle() const { return window_; }

  // Removes the messages from `first` to `last` queued for the window.
  void dropQueued(UINT first, UINT last) const;

 private:
  HWND window_ = nullptr;
};

}  // namespace vorn::platform::win32
