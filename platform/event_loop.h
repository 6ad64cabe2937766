// The agent's message loop: one thread, woken by the platform objects it
// watches (the host link's stream socket, a listener), by posted tasks and by
// a termination request from outside.
// Stands for: the framework's message loop on a hidden window (GetMessage,
// DispatchMessage), PostMessageA, PostQuitMessage, SetTimer/KillTimer,
// socket notifications (WSAAsyncSelect) and, for pipes,
// MsgWaitForMultipleObjectsEx.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vorn::platform {

class Event;
class StreamListener;
class StreamSocket;

inline constexpr unsigned kReadable = 1;
inline constexpr unsigned kWritable = 2;

class EventLoop {
 public:
  using Task = std::function<void()>;
  using ReadyHandler = std::function<void(unsigned ready)>;
  using WatchId = std::uint64_t;

  virtual ~EventLoop() = default;

  // Queues a task that runs on the loop's thread after the current one returns
  // (PostMessage). Safe to call from any thread.
  virtual void post(Task task) = 0;

  // Calls `handler` on the loop's thread whenever `socket` is ready for the
  // interest given (kReadable, kWritable or both); errors and hang-ups are
  // reported as readable. The socket must stay alive until it is unwatched.
  // Returns an id for modify/unwatch.
  virtual WatchId watch(StreamSocket& socket, unsigned interest, ReadyHandler handler) = 0;
  // Calls `handler` with kReadable whenever a connection waits on `listener`.
  virtual WatchId watch(StreamListener& listener, ReadyHandler handler) = 0;
  // Runs `task` whenever `event` is signalled (an auto-reset event is reset
  // then); the loop holds what it needs of the event, so the event may be
  // closed while watched. Stands for MsgWaitForMultipleObjectsEx on Windows.
  virtual WatchId watch(Event& event, Task task) = 0;
  virtual void modify(WatchId id, unsigned interest) = 0;
  // Ends a watch or cancels a timer that has not fired. Safe to call from
  // inside the watch's own handler; an id that is no longer in use is ignored.
  virtual void unwatch(WatchId id) = 0;

  // Runs `task` once on the loop's thread after `milliseconds` on the
  // platform's time scale (platform/clock.h), unless unwatch(id) cancels it
  // first. Stands for: SetTimer on the hidden window, its WM_TIMER handled
  // once and the timer then killed (KillTimer).
  virtual WatchId startTimer(std::uint32_t milliseconds, Task task) = 0;

  // What to run when the process is asked to end from outside (SIGTERM or
  // SIGINT on POSIX, WM_CLOSE/WM_ENDSESSION on Windows): it runs on the
  // loop's thread like a posted task.
  virtual void onTerminationRequest(Task task) = 0;

  // Ends run() with `exitCode` once the current task returns (PostQuitMessage).
  virtual void quit(int exitCode) = 0;

  // Runs until quit(); returns its code.
  virtual int run() = 0;
};

// The loop of this platform. Only one per process may handle termination requests.
std::unique_ptr<EventLoop> createEventLoop();

}  // namespace vorn::platform
