// The agent's message loop: one thread, woken by its sockets, by posted tasks
// and by a termination request from outside.
// Stands for: the framework's message loop, PostMessageA, PostQuitMessage,
// and socket readiness notifications (WSAEventSelect) on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vorn::platform {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

inline constexpr unsigned kReadable = 1;
inline constexpr unsigned kWritable = 2;

class EventLoop {
 public:
  using Task = std::function<void()>;
  using ReadyHandler = std::function<void(unsigned ready)>;
  using WatchId = std::uint64_t;

  virtual ~EventLoop() = default;

  // Queues a task that runs on the loop's thread after the current one returns
  // (PostMessage). Safe to call from any thread and from signal-free contexts.
  virtual void post(Task task) = 0;

  // Calls `handler` on the loop's thread whenever `socket` is ready for the
  // interest given (kReadable, kWritable or both); errors and hang-ups are
  // reported as readable. Returns an id for modify/unwatch.
  virtual WatchId watch(NativeSocket socket, unsigned interest, ReadyHandler handler) = 0;
  virtual void modify(WatchId id, unsigned interest) = 0;
  // Safe to call from inside the watch's own handler.
  virtual void unwatch(WatchId id) = 0;

  // What to run when the process is asked to end from outside (SIGTERM or
  // SIGINT on POSIX): it runs on the loop's thread like a posted task.
  virtual void onTerminationRequest(Task task) = 0;

  // Ends run() with `exitCode` once the current task returns (PostQuitMessage).
  virtual void quit(int exitCode) = 0;

  // Runs until quit(); returns its code.
  virtual int run() = 0;
};

// The loop of this platform. Only one per process may handle termination requests.
std::unique_ptr<EventLoop> createEventLoop();

}  // namespace vorn::platform
