// A thread's alertable side on POSIX: the calls queued to it (QueueUserAPC)
// and the timers it armed, both run on it during its alertable waits. An
// eventfd wakes the thread's wait when a call is queued or when another
// thread cancels one of its timers (so that the wait polls its current set).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

class TimerState;

class AlertableState {
 public:
  // 0 with `state` set, or the Win32 code of the failure (also the last error).
  static std::uint32_t create(std::shared_ptr<AlertableState>& state);

  explicit AlertableState(UniqueFd wake) : wake_(std::move(wake)) {}
  AlertableState(const AlertableState&) = delete;
  AlertableState& operator=(const AlertableState&) = delete;

  // Readable while calls are queued or the timer set changed.
  int wakeDescriptor() const { return wake_.get(); }
  void wake();

  // Queues `call` and wakes the thread's wait; false once the thread has ended.
  bool queueCall(std::function<void()> call);

  // On the thread itself: runs the queued calls in order, also those that
  // they queue; true when any ran.
  bool runQueuedCalls();

  // The thread has ended: its queued calls are dropped and no more are taken.
  void end();

  // The timers armed on this thread and not yet due or cancelled.
  void addTimer(std::shared_ptr<TimerState> timer);
  void removeTimer(const TimerState* timer);
  std::vector<std::shared_ptr<TimerState>> armedTimers() const;

 private:
  UniqueFd wake_;
  mutable std::mutex mutex_;
  bool ended_ = false;
  std::deque<std::function<void()>> calls_;
  std::vector<std::shared_ptr<TimerState>> timers_;
};

// The calling thread's state; made on first use for a thread that did not
// come from createThread (such as the main thread). Null, with the last error
// set, when it cannot be made.
std::shared_ptr<AlertableState> currentAlertableState();

// Makes `state` the calling thread's: the first step of a thread from
// createThread, whose state exists before it runs.
void adoptAlertableState(std::shared_ptr<AlertableState> state);

}  // namespace vorn::platform::posix
