// One overlapped operation at a time on a file or pipe handle: its OVERLAPPED
// record and the manual-reset event that tells of its completion.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/win32/unique_handle.h"

namespace vorn::platform::win32 {

class OverlappedOperation {
 public:
  // CreateEventA for the record; 0 or the code of its failure.
  std::uint32_t create();

  // The record for the next ReadFile, WriteFile or ConnectNamedPipe; the
  // operation counts as under way from here until finished() says it is done.
  OVERLAPPED* begin();
  // The call that was handed the record failed at once: nothing is under way.
  void abandon() { pending_ = false; }

  bool pending() const { return pending_; }
  HANDLE event() const { return event_.get(); }

  // Whether the operation under way on `file` has completed (GetOverlappedResult
  // without waiting); then `transferred` and `error` (0 on success) say how.
  bool finished(HANDLE file, DWORD& transferred, DWORD& error);

  // Cancels the operation under way (CancelIoEx) and waits until the system
  // has let go of the record and the buffer.
  void cancel(HANDLE file);

 private:
  OVERLAPPED record_{};
  UniqueHandle event_;
  bool pending_ = false;
};

}  // namespace vorn::platform::win32
