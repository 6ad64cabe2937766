// Waitable timers on POSIX (timer_state.h). The timer value only tells when
// the routine is due: waits are for kernel objects, and a timer is none here.
#include "platform/waitable_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <utility>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/alertable_state.h"
#include "platform/posix/timer_state.h"

namespace vorn::platform {
namespace posix {
namespace {

constexpr std::uint64_t kIntervalsPerSecond = 10000000;  // 100-ns intervals

// The real time until a relative due time (negative, 100-ns units) under the
// time scale, rounded up so that the timer never fires early; at least 1 ns,
// since a zero time would disarm the timerfd.
itimerspec dueSpec(std::int64_t dueTime) {
  const std::uint64_t intervals = 0 - static_cast<std::uint64_t>(dueTime);
  const std::uint64_t scaled = (intervals + timeScale() - 1) / timeScale();
  itimerspec spec{};
  spec.it_value.tv_sec = static_cast<time_t>(scaled / kIntervalsPerSecond);
  spec.it_value.tv_nsec = static_cast<long>(scaled % kIntervalsPerSecond) * 100;
  if (scaled == 0) spec.it_value.tv_nsec = 1;
  return spec;
}

}  // namespace

std::uint32_t TimerState::arm(std::int64_t dueTime, std::function<void()> routine,
                              const std::shared_ptr<AlertableState>& owner) {
  if (dueTime > 0) return kErrorInvalidParameter;  // an absolute time
  const itimerspec spec = dueSpec(dueTime);
  std::function<void()> replaced;
  std::lock_guard lock(mutex_);
  if (::timerfd_settime(fd_.get(), 0, &spec, nullptr) != 0) return win32FromErrno(errno);
  if (const auto previous = owner_.lock(); previous && previous != owner) previous->removeTimer(this);
  replaced = std::exchange(routine_, std::move(routine));
  owner_ = owner;
  armed_ = true;
  owner->addTimer(shared_from_this());
  return kErrorSuccess;
}

std::uint32_t TimerState::cancel() {
  std::function<void()> dropped;
  std::lock_guard lock(mutex_);
  const itimerspec disarmed{};
  if (::timerfd_settime(fd_.get(), 0, &disarmed, nullptr) != 0) return win32FromErrno(errno);
  armed_ = false;
  dropped = std::move(routine_);
  routine_ = nullptr;
  if (const auto owner = owner_.lock()) {
    owner->removeTimer(this);
    owner->wake();
  }
  owner_.reset();
  return kErrorSuccess;
}

std::function<void()> TimerState::takeDueRoutine(AlertableState& owner) {
  std::lock_guard lock(mutex_);
  if (!armed_ || owner_.lock().get() != &owner) return nullptr;
  std::uint64_t expirations = 0;
  if (::read(fd_.get(), &expirations, sizeof expirations) != sizeof expirations) return nullptr;  // not due after all
  armed_ = false;
  owner_.reset();
  owner.removeTimer(this);
  return std::exchange(routine_, nullptr);
}

}  // namespace posix

namespace {

class PosixWaitableTimer final : public WaitableTimer {
 public:
  explicit PosixWaitableTimer(std::shared_ptr<posix::TimerState> state) : state_(std::move(state)) {}
  ~PosixWaitableTimer() override { state_->cancel(); }

  bool set(std::int64_t dueTime, std::function<void()> routine) override {
    const auto owner = posix::currentAlertableState();
    if (!owner) return false;
    const std::uint32_t error = state_->arm(dueTime, std::move(routine), owner);
    if (error == kErrorSuccess) return true;
    setLastError(error);
    return false;
  }

  bool cancel() override {
    const std::uint32_t error = state_->cancel();
    if (error == kErrorSuccess) return true;
    setLastError(error);
    return false;
  }

 private:
  std::shared_ptr<posix::TimerState> state_;
};

}  // namespace

// Manual or automatic reset tells how a wait for the timer object ends; no
// wait takes a timer here, so both are the same timer.
std::uint32_t createWaitableTimer(bool /*manualReset*/, std::unique_ptr<WaitableTimer>& timer) {
  timer.reset();
  posix::UniqueFd fd(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
  if (!fd) return setLastErrorFromErrno();
  timer = std::make_unique<PosixWaitableTimer>(std::make_shared<posix::TimerState>(std::move(fd)));
  return kErrorSuccess;
}

}  // namespace vorn::platform
