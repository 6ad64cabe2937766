// Events on POSIX: eventfd, non-blocking, closed on exec (a child receives
// its one inherited event through process creation, at descriptor 3).
#include "platform/event.h"

#include <fcntl.h>
#include <sys/eventfd.h>
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

bool EventState::acquire() {
  if (manualReset_) return true;
  eventfd_t value = 0;
  return ::eventfd_read(fd_.get(), &value) == 0;  // EAGAIN: another waiter reset it
}

bool EventState::set() { return ::eventfd_write(fd_.get(), 1) == 0; }

bool EventState::reset() {
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

}  // namespace

std::shared_ptr<posix::EventState> posix::eventStateOf(const Event& event) {
  const auto* posixEvent = dynamic_cast<const PosixEvent*>(&event);
  return posixEvent != nullptr ? posixEvent->state() : nullptr;
}

std::uint32_t createEvent(bool manualReset, bool initiallySignalled, bool inheritable,
                          std::unique_ptr<Event>& event) {
  event.reset();
  posix::UniqueFd fd(::eventfd(initiallySignalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd) return setLastErrorFromErrno();
  event = std::make_unique<PosixEvent>(std::make_shared<posix::EventState>(std::move(fd), manualReset, inheritable));
  return kErrorSuccess;
}

std::unique_ptr<Event> inheritedEvent(std::uint32_t handleValue) {
  if (handleValue > static_cast<std::uint32_t>(INT_MAX)) return nullptr;
  const int fd = static_cast<int>(handleValue);
  if (!isEventFd(fd)) return nullptr;
  // Ours from now on: not passed on to programs this one starts, and read
  // without blocking like every event of this implementation.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0)
    return nullptr;
  return std::make_unique<PosixEvent>(std::make_shared<posix::EventState>(posix::UniqueFd(fd), false, false));
}

}  // namespace vorn::platform
