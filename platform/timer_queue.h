// The event loop's one-shot timers, shared by both platforms' loops: due
// times on the steady clock, the scaled milliseconds of startTimer turned
// into real time, and the run of every timer that fell due in the order they
// fell due. Each loop only decides how it waits for the first one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace vorn::platform {

class TimerQueue {
 public:
  using Clock = std::chrono::steady_clock;
  using Id = std::uint64_t;
  using Task = std::function<void()>;

  // Runs `task` once after `milliseconds` on the scaled clock (never early);
  // an existing timer `id` is replaced.
  void start(Id id, std::uint32_t milliseconds, Task task);
  // Cancels the timer `id` if it has not run; false when there is none.
  bool cancel(Id id);

  // Milliseconds until the first timer is due, rounded up (0 when one is
  // due already); none without a timer.
  std::optional<std::int64_t> millisecondsUntilFirst() const;

  // Runs the timers that are due, earliest first. Each is removed before its
  // task runs, so a task may start or cancel timers; one cancelled by an
  // earlier task does not run. Stops before the next task once `stop` says so.
  void runDue(const std::function<bool()>& stop);

 private:
  struct Timer {
    Clock::time_point due;
    Task task;
  };
  std::map<Id, Timer> timers_;
};

}  // namespace vorn::platform
