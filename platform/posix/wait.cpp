// Waits on POSIX: one ppoll(2) over the objects' descriptors and, for an
// alertable wait, the thread's queued-call eventfd and the timerfds it armed.
// Queued calls run first, then due timer routines (the wait then returns
// kWaitIoCompletion); otherwise the lowest signalled object is taken.
#include "platform/wait.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/alertable_state.h"
#include "platform/posix/timer_state.h"
#include "platform/posix/waitable_object.h"

namespace vorn::platform {
namespace {

using posix::WaitState;
using Steady = std::chrono::steady_clock;  // CLOCK_MONOTONIC

// The end of a timeout given in milliseconds of the scaled clock.
class Deadline {
 public:
  explicit Deadline(std::uint32_t timeoutMs) : infinite_(timeoutMs == kInfinite) {
    const auto nanoseconds = (std::uint64_t{timeoutMs} * 1000000 + timeScale() - 1) / timeScale();
    end_ = Steady::now() + std::chrono::nanoseconds(nanoseconds);
  }

  // The time left, for ppoll; null for no limit.
  const timespec* remaining() {
    if (infinite_) return nullptr;
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end_ - Steady::now());
    const auto count = left.count() > 0 ? left.count() : 0;
    left_ = timespec{static_cast<time_t>(count / 1000000000), static_cast<long>(count % 1000000000)};
    return &left_;
  }

  bool passed() const { return !infinite_ && Steady::now() >= end_; }

 private:
  bool infinite_;
  Steady::time_point end_;
  timespec left_{};
};

std::uint32_t failed(std::uint32_t error) {
  setLastError(error);
  return kWaitFailed;
}

std::uint32_t waitFor(const std::vector<std::shared_ptr<WaitState>>& objects, std::uint32_t timeoutMs,
                      bool alertable) {
  std::shared_ptr<posix::AlertableState> self;
  if (alertable && !(self = posix::currentAlertableState())) return kWaitFailed;
  Deadline deadline(timeoutMs);
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<posix::TimerState>> timers;
  const std::size_t wakeIndex = objects.size();
  for (;;) {
    // The timer set is taken afresh each round: timers come and go while we wait.
    fds.clear();
    for (const auto& object : objects) fds.push_back({object->descriptor(), POLLIN, 0});
    if (self) {
      timers = self->armedTimers();
      fds.push_back({self->wakeDescriptor(), POLLIN, 0});
      for (const auto& timer : timers) fds.push_back({timer->descriptor(), POLLIN, 0});
    }
    const int ready = ::ppoll(fds.data(), fds.size(), deadline.remaining(), nullptr);
    if (ready < 0 && errno != EINTR) return failed(win32FromErrno(errno));
    if (ready > 0 && self) {
      bool ran = fds[wakeIndex].revents != 0 && self->runQueuedCalls();
      for (std::size_t i = 0; i < timers.size(); ++i) {
        if (fds[wakeIndex + 1 + i].revents == 0) continue;
        if (auto routine = timers[i]->takeDueRoutine(*self)) {
          routine();
          ran = true;
        }
      }
      if (ran) return kWaitIoCompletion;
    }
    if (ready > 0) {
      for (std::size_t i = 0; i < objects.size(); ++i) {
        if ((fds[i].revents & POLLNVAL) != 0) return failed(kErrorInvalidHandle);
        if (fds[i].revents != 0 && objects[i]->acquire()) return kWaitObject0 + static_cast<std::uint32_t>(i);
      }
    }
    if (deadline.passed()) return kWaitTimeout;
  }
}

}  // namespace

std::uint32_t waitForMultipleObjects(std::span<Waitable* const> objects, std::uint32_t timeoutMs,
                                     bool alertable) {
  if (objects.empty() || objects.size() > kMaximumWaitObjects) return failed(kErrorInvalidParameter);
  // The states are held for the whole wait: an object closed meanwhile on
  // another thread keeps its descriptor open until the wait returns.
  std::vector<std::shared_ptr<WaitState>> states;
  states.reserve(objects.size());
  for (Waitable* object : objects) {
    auto state = object != nullptr ? posix::waitStateOf(*object) : nullptr;
    if (!state) return failed(kErrorInvalidParameter);
    states.push_back(std::move(state));
  }
  return waitFor(states, timeoutMs, alertable);
}

std::uint32_t sleepEx(std::uint32_t timeoutMs, bool alertable) {
  std::uint32_t result = waitFor({}, timeoutMs, alertable);
  // A thread that cannot take queued calls still sleeps its time.
  if (result == kWaitFailed && alertable) result = waitFor({}, timeoutMs, false);
  return result == kWaitIoCompletion ? kWaitIoCompletion : 0;
}

}  // namespace vorn::platform
