// Events on POSIX: an eventfd, or a pipe for an event made to be inherited
// (event_state.h); non-blocking, closed on exec (a child receives its one
// inherited event through process creation, at descriptor 3).
#include "platform/event.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/event_state.h"

namespace vorn::platform {
namespace posix {

bool EventState::drainPipe() {
  std::array<char, 64> bytes{};
  bool signalled = false;
  for (;;) {
    const ssize_t got = ::read(fd_.get(), bytes.data(), bytes.size());
    if (got > 0) {
      signalled = true;
      continue;
    }
    if (got == 0) return true;  // the write end is gone: signalled for good
    if (errno == EINTR) continue;
    return signalled;  // EAGAIN: nothing (more) to read
  }
}

bool EventState::acquire() {
  if (manualReset_) return true;
  if (pipe_) return drainPipe();  // nothing read: another waiter reset it
  eventfd_t value = 0;
  return ::eventfd_read(fd_.get(), &value) == 0;  // EAGAIN: another waiter reset it
}

bool EventState::set() {
  if (!pipe_) return ::eventfd_write(fd_.get(), 1) == 0;
  if (!writeFd_) {
    errno = EBADF;  // an inherited event is only waited for
    return false;
  }
  const char byte = 1;
  ssize_t written = 0;
  while ((written = ::write(writeFd_.get(), &byte, 1)) < 0 && errno == EINTR) {
  }
  return written == 1 || errno == EAGAIN;  // a full pipe is signalled already
}

bool EventState::reset() {
  if (pipe_) {
    drainPipe();
    return true;
  }
  eventfd_t value = 0;
  return ::eventfd_read(fd_.get(), &value) == 0 || errno == EAGAIN;
}

}  // namespace posix

namespace {

// The descriptor number a child finds its inherited event under.
constexpr std::uint32_t kInheritedDescriptor = 3;

class PosixEvent final : public Event, public posix::PosixWaitable {
 public:
  explicit PosixEvent(std::shared_ptr<posix::EventState> state) : state_(std::move(state)) {}

  bool set() override {
    if (state_->set()) return true;
    setLastErrorFromErrno();
    return false;
  }

  bool reset() override {
    if (state_->reset()) return true;
    setLastErrorFromErrno();
    return false;
  }

  bool setInheritable(bool inheritable) override {
    state_->setInheritable(inheritable);
    return true;
  }

  std::uint32_t inheritedHandleValue() const override { return kInheritedDescriptor; }

  std::shared_ptr<posix::WaitState> waitState() const override { return state_; }
  const std::shared_ptr<posix::EventState>& state() const { return state_; }

 private:
  std::shared_ptr<posix::EventState> state_;
};

bool isEventFd(int fd) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  std::array<char, 64> target{};
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
  return length > 0 && std::string_view(target.data(), static_cast<std::size_t>(length)) == "anon_inode:[eventfd]";
}

// The read end of a pipe: how an event made to be inherited arrives.
bool isPipeReadEnd(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) == O_RDONLY;
}

}  // namespace

std::shared_ptr<posix::EventState> posix::eventStateOf(const Event& event) {
  const auto* posixEvent = dynamic_cast<const PosixEvent*>(&event);
  return posixEvent != nullptr ? posixEvent->state() : nullptr;
}

std::uint32_t createEvent(bool manualReset, bool initiallySignalled, bool inheritable,
                          std::unique_ptr<Event>& event) {
  event.reset();
  std::shared_ptr<posix::EventState> state;
  if (inheritable) {
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) return setLastErrorFromErrno();
    state = std::make_shared<posix::EventState>(posix::UniqueFd(ends[0]), posix::UniqueFd(ends[1]), manualReset,
                                                inheritable);
  } else {
    posix::UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd) return setLastErrorFromErrno();
    state = std::make_shared<posix::EventState>(std::move(fd), manualReset, inheritable);
  }
  if (initiallySignalled && !state->set()) return setLastErrorFromErrno();
  event = std::make_unique<PosixEvent>(std::move(state));
  return kErrorSuccess;
}

std::unique_ptr<Event> inheritedEvent(std::uint32_t handleValue) {
  if (handleValue > static_cast<std::uint32_t>(INT_MAX)) return nullptr;
  const int fd = static_cast<int>(handleValue);
  const bool pipe = isPipeReadEnd(fd);
  if (!pipe && !isEventFd(fd)) return nullptr;
  // Ours from now on: not passed on to programs this one starts, and read
  // without blocking like every event of this implementation.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0)
    return nullptr;
  auto state = pipe ? std::make_shared<posix::EventState>(posix::UniqueFd(fd), posix::UniqueFd(), false, false)
                    : std::make_shared<posix::EventState>(posix::UniqueFd(fd), false, false);
  return std::make_unique<PosixEvent>(std::move(state));
}

}  // namespace vorn::platform
