// Threads on POSIX: std::thread, detached (closing the handle leaves the
// thread running), with an eventfd written once its routine has returned and
// the alertable state that takes its queued calls.
#include "platform/thread.h"

#include <sys/eventfd.h>

#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/alertable_state.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/waitable_object.h"

namespace vorn::platform {
namespace {

// Readable for good once the routine has returned.
class ThreadEnd final : public posix::WaitState {
 public:
  explicit ThreadEnd(posix::UniqueFd eventFd) : fd_(std::move(eventFd)) {}
  int descriptor() const override { return fd_.get(); }
  bool acquire() override { return true; }
  // A first write to a fresh eventfd cannot fail.
  void signal() { ::eventfd_write(fd_.get(), 1); }

 private:
  posix::UniqueFd fd_;
};

class PosixThread final : public Thread, public posix::PosixWaitable {
 public:
  PosixThread(std::shared_ptr<posix::AlertableState> alertable, std::shared_ptr<ThreadEnd> end)
      : alertable_(std::move(alertable)), end_(std::move(end)) {}

  bool queueCall(std::function<void()> call) override {
    if (alertable_->queueCall(std::move(call))) return true;
    setLastError(kErrorGenFailure);  // the thread has ended
    return false;
  }

  std::shared_ptr<posix::WaitState> waitState() const override { return end_; }

 private:
  std::shared_ptr<posix::AlertableState> alertable_;
  std::shared_ptr<ThreadEnd> end_;
};

}  // namespace

std::uint32_t createThread(std::function<void()> routine, std::unique_ptr<Thread>& thread) {
  thread.reset();
  std::shared_ptr<posix::AlertableState> alertable;
  if (const std::uint32_t error = posix::AlertableState::create(alertable); error != kErrorSuccess) return error;
  posix::UniqueFd endFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!endFd) return setLastErrorFromErrno();
  auto end = std::make_shared<ThreadEnd>(std::move(endFd));
  try {
    std::thread([alertable, end, routine = std::move(routine)]() mutable {
      posix::adoptAlertableState(alertable);
      routine();
      routine = nullptr;  // its captures go before the thread counts as ended
      alertable->end();
      end->signal();
    }).detach();
  } catch (const std::system_error& failure) {
    const std::uint32_t error = win32FromErrno(failure.code().value());
    setLastError(error);
    return error;
  }
  thread = std::make_unique<PosixThread>(std::move(alertable), std::move(end));
  return kErrorSuccess;
}

}  // namespace vorn::platform
