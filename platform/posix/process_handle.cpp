#include "platform/posix/process_handle.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/pidfd.h"
#include "platform/posix/waitable_object.h"

namespace vorn::platform::posix {
namespace {

// How long closing a handle waits for a process it terminated itself.
constexpr int kTerminatedEndWaitMs = 1000;

// Exit codes of processes ended by a signal: the shells' 128 + the signal.
constexpr std::uint32_t kSignalExitBase = 128;

enum class Reaped { now, running, failed };

bool pollsReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  int ready = 0;
  while ((ready = ::poll(&entry, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return ready > 0;
}

class ProcessState final : public WaitState {
 public:
  ProcessState(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}

  // Never leaves a zombie behind: the ended child is reaped at once; one we
  // terminated ourselves is about to end; any other is left to a thread that
  // waits for its end.
  ~ProcessState() override {
    if (reap() != Reaped::running) return;
    if (terminated_ && pollsReadable(pidfd_.get(), kTerminatedEndWaitMs) && reap() != Reaped::running) return;
    try {
      std::thread([pidfd = std::move(pidfd_)] {
        siginfo_t info{};
        while (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd.get()), &info, WEXITED) != 0 &&
               errno == EINTR) {
        }
      }).detach();
    } catch (const std::system_error&) {
      // No thread to be had: the child is reaped when this process ends.
    }
  }

  int descriptor() const override { return pidfd_.get(); }

  // The pidfd polls readable once the process has ended.
  bool acquire() override {
    reap();
    return true;
  }

  pid_t pid() const { return pid_; }

  std::uint32_t terminate(std::uint32_t exitCode) {
    std::lock_guard lock(mutex_);
    // As Windows, refuse to terminate a process that has already ended.
    if (reaped_ || pollsReadable(pidfd_.get(), 0)) return kErrorAccessDenied;
    if (::pidfd_send_signal(pidfd_.get(), SIGKILL, nullptr, 0) != 0)
      return errno == ESRCH ? kErrorAccessDenied : win32FromErrno(errno);
    terminated_ = true;
    terminateCode_ = exitCode;
    return kErrorSuccess;
  }

  std::uint32_t exitCode(std::uint32_t& code) {
    std::lock_guard lock(mutex_);
    switch (reapLocked()) {
      case Reaped::running: code = kStillActive; return kErrorSuccess;
      case Reaped::now: code = exitCode_; return kErrorSuccess;
      case Reaped::failed: break;
    }
    return win32FromErrno(errno);
  }

 private:
  // Collects the exit status once the process has ended (`now` also when
  // that happened before).
  Reaped reap() {
    std::lock_guard lock(mutex_);
    return reapLocked();
  }

  Reaped reapLocked() {
    if (reaped_) return Reaped::now;
    siginfo_t info{};
    int result = 0;
    while ((result = ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_.get()), &info,
                              WEXITED | WNOHANG)) != 0 &&
           errno == EINTR) {
    }
    if (result != 0) return Reaped::failed;
    if (info.si_pid == 0) return Reaped::running;
    reaped_ = true;
    if (info.si_code == CLD_EXITED) {
      exitCode_ = static_cast<std::uint32_t>(info.si_status);
    } else if (terminated_ && info.si_status == SIGKILL) {
      exitCode_ = terminateCode_;  // as TerminateProcess sets it
    } else {
      exitCode_ = kSignalExitBase + static_cast<std::uint32_t>(info.si_status);
    }
    return Reaped::now;
  }

  const pid_t pid_;
  UniqueFd pidfd_;
  std::mutex mutex_;
  bool reaped_ = false;
  bool terminated_ = false;
  std::uint32_t terminateCode_ = 0;
  std::uint32_t exitCode_ = 0;
};

class PosixProcessHandle final : public ProcessHandle, public PosixWaitable {
 public:
  explicit PosixProcessHandle(std::shared_ptr<ProcessState> state) : state_(std::move(state)) {}

  std::uint32_t processId() const override { return static_cast<std::uint32_t>(state_->pid()); }

  bool terminate(std::uint32_t exitCode) override { return done(state_->terminate(exitCode)); }

  bool exitCode(std::uint32_t& code) override { return done(state_->exitCode(code)); }

  std::shared_ptr<WaitState> waitState() const override { return state_; }

 private:
  // true for success; false with the last error set.
  static bool done(std::uint32_t error) {
    if (error == kErrorSuccess) return true;
    setLastError(error);
    return false;
  }

  std::shared_ptr<ProcessState> state_;
};

}  // namespace

std::unique_ptr<ProcessHandle> makeProcessHandle(pid_t pid, UniqueFd pidfd) {
  return std::make_unique<PosixProcessHandle>(std::make_shared<ProcessState>(pid, std::move(pidfd)));
}

}  // namespace vorn::platform::posix
