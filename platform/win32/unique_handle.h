// Ownership of Win32 handles: each closes its handle once, with the call that
// belongs to it.
#pragma once

#include <windows.h>

#include <utility>

namespace vorn::platform::win32 {

// A kernel object handle (event, process, thread, file, pipe, timer), closed
// with CloseHandle. Null and INVALID_HANDLE_VALUE both mean "none".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  HANDLE release() { return std::exchange(handle_, nullptr); }

  // Closes the handle held (ignoring a failure: there is nothing left to do
  // with a handle that cannot be closed) and takes `handle`.
  void reset(HANDLE handle = nullptr) {
    if (*this) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Keeps the last error of a failed call across the clean-up that follows it
// (destructors and the C++ runtime may overwrite it), and sets it again when
// the caller returns.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : code_(::GetLastError()) {}
  ~LastErrorKeeper() { ::SetLastError(code_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

}  // namespace vorn::platform::win32
