// The event loop's one-shot timers on Windows: one window timer (SetTimer on
// the loop's hidden window) armed for the earliest timer due; its WM_TIMER
// runs every timer that fell due, in the order they fell due, and arms the
// window timer again for the next. Times are on the platform's time scale.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/timer_queue.h"

namespace vorn::platform::win32 {

class LoopTimers {
 public:
  using Id = TimerQueue::Id;
  using Task = TimerQueue::Task;

  // The WM_TIMER identifier the window timer uses.
  static constexpr UINT_PTR kWindowTimerId = 1;

  explicit LoopTimers(HWND window) : window_(window) {}
  ~LoopTimers();  // KillTimer
  LoopTimers(const LoopTimers&) = delete;
  LoopTimers& operator=(const LoopTimers&) = delete;

  // Runs `task` once after `milliseconds` on the scaled clock.
  void start(Id id, std::uint32_t milliseconds, Task task);
  // Cancels the timer `id` if it has not fired; false when there is none.
  bool cancel(Id id);

  // Runs the timers that fell due (WM_TIMER, or each round of the loop when
  // the window timer could not be set); stops early once `stop` says so.
  void runDue(const std::function<bool()>& stop);

  // Milliseconds the loop's wait may last for the timers' sake: INFINITE
  // while the window timer wakes the loop, else until the next is due.
  DWORD waitLimit() const;

 private:
  // Sets the window timer for the earliest timer due, or kills it when none is left.
  void arm();

  HWND window_;
  TimerQueue timers_;
  bool windowTimerSet_ = false;
  bool windowTimerFailed_ = false;  // SetTimer refused: the loop's wait times out instead
};

}  // namespace vorn::platform::win32
