// Waits on Windows: WaitForMultipleObjectsEx and SleepEx, alertable when
// asked, with finite time-outs under the time scale.
#include "platform/wait.h"

#include <windows.h>

#include <array>

#include "platform/error.h"
#include "platform/win32/time_scale.h"
#include "platform/win32/waitable_handle.h"

namespace vorn::platform {

std::uint32_t waitForMultipleObjects(std::span<Waitable* const> objects, std::uint32_t timeoutMs, bool alertable) {
  if (objects.size() > kMaximumWaitObjects) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return kWaitFailed;
  }
  // The wait holds its own share of each handle: an object closed meanwhile
  // by another thread leaves its handle open until the wait returns.
  std::array<win32::SharedHandle, kMaximumWaitObjects> held;
  std::array<HANDLE, kMaximumWaitObjects> handles{};
  for (std::size_t i = 0; i < objects.size(); ++i) {
    held[i] = win32::sharedHandleOf(objects[i]);
    if (held[i] == nullptr) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return kWaitFailed;
    }
    handles[i] = held[i]->get();
  }
  const DWORD timeout = win32::scaledMilliseconds(timeoutMs);
  if (objects.empty()) {
    // Windows refuses a wait for no object; with none, only the time and the
    // queued calls can end it.
    return ::SleepEx(timeout, alertable) == WAIT_IO_COMPLETION ? kWaitIoCompletion : kWaitTimeout;
  }
  const DWORD result =
      ::WaitForMultipleObjectsEx(static_cast<DWORD>(objects.size()), handles.data(), FALSE, timeout, alertable);
  if (result == WAIT_FAILED) {
    const DWORD failure = ::GetLastError();
    for (auto& h : held) h.reset();
    ::SetLastError(failure);
  }
  return result;
}

std::uint32_t sleepEx(std::uint32_t timeoutMs, bool alertable) {
  return ::SleepEx(win32::scaledMilliseconds(timeoutMs), alertable);
}

}  // namespace vorn::platform
