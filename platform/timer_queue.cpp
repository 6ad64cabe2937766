#include "platform/timer_queue.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace vorn::platform {

void TimerQueue::start(Id id, std::uint32_t milliseconds, Task task) {
  // Real time is the scaled time divided by the scale, rounded up so that a
  // timer never fires early on the scaled clock.
  const auto real =
      std::chrono::microseconds((static_cast<std::uint64_t>(milliseconds) * 1000 + timeScale() - 1) / timeScale());
  timers_.insert_or_assign(id, Timer{Clock::now() + real, std::move(task)});
}

bool TimerQueue::cancel(Id id) { return timers_.erase(id) != 0; }

std::optional<std::int64_t> TimerQueue::millisecondsUntilFirst() const {
  if (timers_.empty()) return std::nullopt;
  Clock::time_point first = Clock::time_point::max();
  for (const auto& [id, timer] : timers_) first = std::min(first, timer.due);
  const auto left = first - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  return std::chrono::ceil<std::chrono::milliseconds>(left).count();
}

void TimerQueue::runDue(const std::function<bool()>& stop) {
  const auto now = Clock::now();
  std::vector<std::pair<Clock::time_point, Id>> due;  // earliest first, then in start order
  for (const auto& [id, timer] : timers_)
    if (timer.due <= now) due.emplace_back(timer.due, id);
  std::sort(due.begin(), due.end());
  for (const auto& [when, id] : due) {
    if (stop()) return;
    const auto it = timers_.find(id);
    if (it == timers_.end()) continue;
    Task task = std::move(it->second.task);
    timers_.erase(it);
    task();
  }
}

}  // namespace vorn::platform
