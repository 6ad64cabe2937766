// The agent's message loop on POSIX: poll(2) over the descriptors of the
// watched objects, an eventfd that wakes the loop for posted tasks, and a
// signalfd for SIGTERM and SIGINT, so that a termination request ends the
// agent in order.
#include "platform/event_loop.h"

#include "platform/event.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/waitable_object.h"
#include "platform/socket.h"
#include "platform/task_queue.h"
#include "platform/timer_queue.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace vorn::platform {
namespace {

using posix::UniqueFd;

class PosixEventLoop final : public EventLoop {
 public:
  PosixEventLoop() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wake_.get() < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  }

  ~PosixEventLoop() override {
    if (signals_) ::sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
  }

  void post(Task task) override {
    if (tasks_.push(std::move(task))) wake();
  }

  WatchId watch(StreamSocket& socket, unsigned interest, ReadyHandler handler) override {
    return add(posix::descriptorOf(socket), interest, std::move(handler));
  }

  WatchId watch(StreamListener& listener, ReadyHandler handler) override {
    return add(posix::descriptorOf(listener), kReadable, std::move(handler));
  }

  WatchId watch(Event& event, Task task) override {
    // The shared state keeps the eventfd open for as long as the watch holds it.
    std::shared_ptr<posix::WaitState> state = posix::waitStateOf(event);
    if (!state) throw std::invalid_argument("EventLoop::watch: not an event of this platform");
    const int descriptor = state->descriptor();
    return add(descriptor, kReadable, [state = std::move(state), task = std::move(task)](unsigned) {
      // false: another waiter took the signal first.
      if (state->acquire()) task();
    });
  }

  void modify(WatchId id, unsigned interest) override {
    if (auto it = watches_.find(id); it != watches_.end()) it->second.interest = interest;
  }

  void unwatch(WatchId id) override {
    watches_.erase(id);
    timers_.cancel(id);
  }

  WatchId startTimer(std::uint32_t milliseconds, Task task) override {
    const WatchId id = nextId_++;
    timers_.start(id, milliseconds, std::move(task));
    return id;
  }

  void onTerminationRequest(Task task) override {
    terminationTask_ = std::move(task);
    if (signals_.get() >= 0) return;
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    if (::sigprocmask(SIG_BLOCK, &mask, &previousMask_) != 0)
      throw std::system_error(errno, std::generic_category(), "sigprocmask");
    signals_ = UniqueFd(::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK));
    if (signals_.get() < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
  }

  void quit(int exitCode) override {
    exitCode_ = exitCode;
    quitting_ = true;
    wake();
  }

  int run() override {
    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    while (!quitting_) {
      tasks_.runAll([this] { return quitting_.load(); });
      if (quitting_) break;

      fds.clear();
      ids.clear();
      fds.push_back({wake_.get(), POLLIN, 0});
      if (signals_.get() >= 0) fds.push_back({signals_.get(), POLLIN, 0});
      const std::size_t fixed = fds.size();
      for (const auto& [id, w] : watches_) {
        short events = 0;
        if (w.interest & kReadable) events |= POLLIN;
        if (w.interest & kWritable) events |= POLLOUT;
        fds.push_back({w.descriptor, events, 0});
        ids.push_back(id);
      }

      if (::poll(fds.data(), fds.size(), pollTimeout()) < 0) {
        if (errno == EINTR) continue;
        throw std::system_error(errno, std::generic_category(), "poll");
      }

      timers_.runDue([this] { return quitting_.load(); });
      if (quitting_) break;
      if (fds[0].revents) drainWake();
      if (fixed > 1 && fds[1].revents) drainSignals();
      for (std::size_t i = fixed; i < fds.size() && !quitting_; ++i) {
        if (!fds[i].revents) continue;
        auto it = watches_.find(ids[i - fixed]);
        if (it == watches_.end()) continue;  // unwatched by an earlier handler
        unsigned ready = 0;
        if (fds[i].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) ready |= kReadable;
        if (fds[i].revents & POLLOUT) ready |= kWritable;
        auto handler = it->second.handler;  // keeps the handler alive if it unwatches itself
        (*handler)(ready & (it->second.interest | kReadable));
      }
    }
    return exitCode_;
  }

 private:
  // Every kind of watched object comes down to this: a descriptor to poll,
  // the readiness wanted and what to call.
  struct Watch {
    int descriptor;
    unsigned interest;
    std::shared_ptr<ReadyHandler> handler;
  };

  // Milliseconds until the first timer is due, -1 without one.
  int pollTimeout() const {
    const auto left = timers_.millisecondsUntilFirst();
    if (!left) return -1;
    return static_cast<int>(std::min<std::int64_t>(*left, std::numeric_limits<int>::max()));
  }

  WatchId add(int descriptor, unsigned interest, ReadyHandler handler) {
    if (descriptor < 0) throw std::invalid_argument("EventLoop::watch: not an object of this platform");
    const WatchId id = nextId_++;
    watches_.emplace(id, Watch{descriptor, interest, std::make_shared<ReadyHandler>(std::move(handler))});
    return id;
  }

  void wake() {
    const std::uint64_t one = 1;
    // A full counter still wakes the loop, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(wake_.get(), &one, sizeof one);
  }

  void drainWake() {
    std::uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(wake_.get(), &count, sizeof count);
  }

  void drainSignals() {
    signalfd_siginfo info;
    bool requested = false;
    while (::read(signals_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) requested = true;
    if (requested && terminationTask_) post(terminationTask_);
  }

  UniqueFd wake_;
  UniqueFd signals_;
  sigset_t previousMask_{};
  TaskQueue tasks_;
  std::map<WatchId, Watch> watches_;
  TimerQueue timers_;
  WatchId nextId_ = 1;
  Task terminationTask_;
  std::atomic<bool> quitting_ = false;  // quit() may come from another thread
  std::atomic<int> exitCode_ = 0;
};

}  // namespace

std::unique_ptr<EventLoop> createEventLoop() { return std::make_unique<PosixEventLoop>(); }

}  // namespace vorn::platform
