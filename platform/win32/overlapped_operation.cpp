#include "platform/win32/overlapped_operation.h"

namespace vorn::platform::win32 {

std::uint32_t OverlappedOperation::create() {
  event_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return event_ ? 0 : static_cast<std::uint32_t>(::GetLastError());
}

OVERLAPPED* OverlappedOperation::begin() {
  record_ = OVERLAPPED{};
  record_.hEvent = event_.get();
  pending_ = true;
  return &record_;
}

bool OverlappedOperation::finished(HANDLE file, DWORD& transferred, DWORD& error) {
  transferred = 0;
  error = 0;
  if (!pending_) return false;
  if (::GetOverlappedResult(file, &record_, &transferred, FALSE)) {
    pending_ = false;
    return true;
  }
  error = ::GetLastError();
  if (error == ERROR_IO_INCOMPLETE) {
    error = 0;
    return false;
  }
  pending_ = false;
  return true;
}

void OverlappedOperation::cancel(HANDLE file) {
  if (!pending_) return;
  ::CancelIoEx(file, &record_);  // fails only when the operation is already over
  DWORD transferred = 0;
  ::GetOverlappedResult(file, &record_, &transferred, TRUE);
  pending_ = false;
}

}  // namespace vorn::platform::win32
