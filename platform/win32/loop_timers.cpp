// SetTimer and KillTimer on the loop's window; the due times are kept on the
// steady clock, as WM_TIMER is neither exact nor ordered between timers.
#include "platform/win32/loop_timers.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace vorn::platform::win32 {
namespace {

// Milliseconds until `due`, rounded up and kept within what SetTimer takes.
DWORD millisecondsUntil(std::chrono::steady_clock::time_point due) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now()).count();
  return static_cast<DWORD>(std::clamp<decltype(left)>(left, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
}

}  // namespace

LoopTimers::~LoopTimers() {
  if (windowTimerSet_) ::KillTimer(window_, kWindowTimerId);
}

void LoopTimers::start(Id id, std::uint32_t milliseconds, Task task) {
  // Real time is the scaled time divided by the scale, rounded up so that a
  // timer never fires early on the scaled clock.
  const auto real =
      std::chrono::microseconds((static_cast<std::uint64_t>(milliseconds) * 1000 + timeScale() - 1) / timeScale());
  timers_.insert_or_assign(id, Timer{Clock::now() + real, std::move(task)});
  arm();
}

bool LoopTimers::cancel(Id id) {
  if (timers_.erase(id) == 0) return false;
  arm();
  return true;
}

void LoopTimers::runDue(const std::function<bool()>& stop) {
  const auto now = Clock::now();
  std::vector<std::pair<Clock::time_point, Id>> due;  // earliest first, then in start order
  for (const auto& [id, timer] : timers_)
    if (timer.due <= now) due.emplace_back(timer.due, id);
  std::sort(due.begin(), due.end());
  for (const auto& [when, id] : due) {
    if (stop()) break;
    const auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cancelled by an earlier task
    Task task = std::move(it->second.task);
    timers_.erase(it);
    task();
  }
  arm();
}

DWORD LoopTimers::waitLimit() const {
  if (!windowTimerFailed_ || timers_.empty()) return INFINITE;
  const auto first = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
    return a.second.due < b.second.due;
  });
  return first->second.due <= Clock::now() ? 0 : millisecondsUntil(first->second.due);
}

void LoopTimers::arm() {
  if (timers_.empty()) {
    if (windowTimerSet_) ::KillTimer(window_, kWindowTimerId);
    windowTimerSet_ = false;
    return;
  }
  Clock::time_point first = Clock::time_point::max();
  for (const auto& [id, timer] : timers_) first = std::min(first, timer.due);
  // The same identifier replaces the window timer's time-out.
  windowTimerSet_ = ::SetTimer(window_, kWindowTimerId, millisecondsUntil(first), nullptr) != 0;
  windowTimerFailed_ = !windowTimerSet_;
}

}  // namespace vorn::platform::win32
