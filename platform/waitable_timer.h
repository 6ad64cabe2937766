// One-shot timers whose routine runs on the thread that armed them.
// Stands for: CreateWaitableTimerA, SetWaitableTimer (with a completion
// routine), CancelWaitableTimer, CloseHandle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vorn::platform {

class WaitableTimer {
 public:
  // Destroying the timer cancels it and closes its handle (CloseHandle); a
  // routine that was already queued may still run.
  virtual ~WaitableTimer() = default;

  // SetWaitableTimer(dueTime, period 0, routine, resume FALSE): arms the
  // timer once. `dueTime` is relative, in 100-ns units, negative as Windows
  // takes it (-600000000 is 60 seconds); it follows the platform's time
  // scale (clock.h). When it is due, `routine` runs on the thread that called
  // set, during one of that thread's alertable waits (wait.h). Arming again
  // replaces the earlier time and routine. false with the last error set
  // (kErrorInvalidParameter for a due time that is not relative; 0 is due
  // at once).
  virtual bool set(std::int64_t dueTime, std::function<void()> routine) = 0;

  // CancelWaitableTimer: the routine does not run unless it was already
  // queued. May be called from any thread. false with the last error set.
  virtual bool cancel() = 0;
};

// CreateWaitableTimerA(default security, manualReset, no name). 0 with
// `timer` set, or the Win32 code of the failure (also the last error).
std::uint32_t createWaitableTimer(bool manualReset, std::unique_ptr<WaitableTimer>& timer);

}  // namespace vorn::platform
