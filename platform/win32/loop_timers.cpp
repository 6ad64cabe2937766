// SetTimer and KillTimer on the loop's window; the due times are kept on the
// steady clock, as WM_TIMER is neither exact nor ordered between timers.
#include "platform/win32/loop_timers.h"

#include <algorithm>
#include <utility>

namespace vorn::platform::win32 {
namespace {

// Milliseconds as SetTimer takes them.
DWORD windowTimerMilliseconds(std::int64_t milliseconds) {
  return static_cast<DWORD>(std::clamp<std::int64_t>(milliseconds, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
}

}  // namespace

LoopTimers::~LoopTimers() {
  if (windowTimerSet_) ::KillTimer(window_, kWindowTimerId);
}

void LoopTimers::start(Id id, std::uint32_t milliseconds, Task task) {
  timers_.start(id, milliseconds, std::move(task));
  arm();
}

bool LoopTimers::cancel(Id id) {
  if (!timers_.cancel(id)) return false;
  arm();
  return true;
}

void LoopTimers::runDue(const std::function<bool()>& stop) {
  timers_.runDue(stop);
  arm();
}

DWORD LoopTimers::waitLimit() const {
  const auto left = timers_.millisecondsUntilFirst();
  if (!windowTimerFailed_ || !left) return INFINITE;
  return *left == 0 ? 0 : windowTimerMilliseconds(*left);
}

void LoopTimers::arm() {
  const auto left = timers_.millisecondsUntilFirst();
  if (!left) {
    if (windowTimerSet_) ::KillTimer(window_, kWindowTimerId);
    windowTimerSet_ = false;
    return;
  }
  // The same identifier replaces the window timer's time-out.
  windowTimerSet_ = ::SetTimer(window_, kWindowTimerId, windowTimerMilliseconds(*left), nullptr) != 0;
  windowTimerFailed_ = !windowTimerSet_;
}

}  // namespace vorn::platform::win32
