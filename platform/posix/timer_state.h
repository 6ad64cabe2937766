// A waitable timer on POSIX: a timerfd on CLOCK_MONOTONIC, armed once with a
// routine for the thread that armed it. That thread's alertable waits poll
// the descriptor (alertable_state.h); cancelling on another thread disarms
// the timerfd and wakes the arming thread's wait to drop it from its set, so
// no wait ever polls a descriptor that was closed or reused.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

class AlertableState;

class TimerState : public std::enable_shared_from_this<TimerState> {
 public:
  explicit TimerState(UniqueFd timerFd) : fd_(std::move(timerFd)) {}

  int descriptor() const { return fd_.get(); }

  // Arms the timer for the calling thread (`owner`): due after `dueTime`
  // (relative, 100-ns units, negative) under the time scale. Replaces an
  // earlier arming. 0 or the Win32 code of the failure.
  std::uint32_t arm(std::int64_t dueTime, std::function<void()> routine, const std::shared_ptr<AlertableState>& owner);

  // Disarms it from any thread; 0 or the Win32 code of the failure.
  std::uint32_t cancel();

  // For `owner`'s alertable wait, once the descriptor polled readable: the
  // routine to run now, or an empty one when the timer was meanwhile
  // cancelled, re-armed, or armed by another thread. Reads the expiry, so
  // the descriptor does not stay readable.
  std::function<void()> takeDueRoutine(AlertableState& owner);

 private:
  UniqueFd fd_;
  std::mutex mutex_;  // taken before an AlertableState's lock, never after
  bool armed_ = false;
  std::function<void()> routine_;
  std::weak_ptr<AlertableState> owner_;
};

}  // namespace vorn::platform::posix
