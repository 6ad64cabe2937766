#include "platform/posix/alertable_state.h"

#include <sys/eventfd.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"

namespace vorn::platform::posix {
namespace {

// The calling thread's state. A thread that ends takes no more calls.
struct CurrentState {
  std::shared_ptr<AlertableState> state;
  ~CurrentState() {
    if (state) state->end();
  }
};
thread_local CurrentState tCurrent;

}  // namespace

std::uint32_t AlertableState::create(std::shared_ptr<AlertableState>& state) {
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake) return setLastErrorFromErrno();
  state = std::make_shared<AlertableState>(std::move(wake));
  return kErrorSuccess;
}

void AlertableState::wake() {
  // Fails only when the counter would overflow, and then the wait wakes anyway.
  ::eventfd_write(wake_.get(), 1);
}

bool AlertableState::queueCall(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return false;
    calls_.push_back(std::move(call));
  }
  wake();
  return true;
}

bool AlertableState::runQueuedCalls() {
  eventfd_t ignored = 0;
  ::eventfd_read(wake_.get(), &ignored);  // EAGAIN when nothing woke us: fine
  bool ran = false;
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) return ran;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
    ran = true;
  }
}

void AlertableState::end() {
  std::deque<std::function<void()>> dropped;
  std::vector<std::shared_ptr<TimerState>> timers;
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
    dropped.swap(calls_);
    timers.swap(timers_);
  }
  // Released here, outside the lock: a call's captures may touch this state.
}

void AlertableState::addTimer(std::shared_ptr<TimerState> timer) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  if (std::ranges::find(timers_, timer) == timers_.end()) timers_.push_back(std::move(timer));
}

void AlertableState::removeTimer(const TimerState* timer) {
  std::shared_ptr<TimerState> removed;
  std::lock_guard lock(mutex_);
  const auto it = std::ranges::find_if(timers_, [timer](const auto& armed) { return armed.get() == timer; });
  if (it == timers_.end()) return;
  removed = std::move(*it);  // released after the lock
  timers_.erase(it);
}

std::vector<std::shared_ptr<TimerState>> AlertableState::armedTimers() const {
  std::lock_guard lock(mutex_);
  return timers_;
}

std::shared_ptr<AlertableState> currentAlertableState() {
  if (!tCurrent.state) AlertableState::create(tCurrent.state);
  return tCurrent.state;
}

void adoptAlertableState(std::shared_ptr<AlertableState> state) { tCurrent.state = std::move(state); }

}  // namespace vorn::platform::posix
