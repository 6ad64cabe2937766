// The event loop's posted tasks, shared by both platforms' loops: any thread
// posts, the loop's thread runs them in the order they were posted. Each
// loop only decides how it is woken (an eventfd, a window message), and asks
// for one wake at a time.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace vorn::platform {

class TaskQueue {
 public:
  using Task = std::function<void()>;

  // Queues `task`; true when the loop must be woken for it, that is when no
  // wake is outstanding since the loop last took the queue.
  bool push(Task task);

  // The wake that push asked for could not be sent: the next push asks again.
  void wakeLost();

  // Runs the tasks queued so far, in order; a push from here on asks for a
  // wake again. Once `stop` says so, what was not run stays queued, in order.
  void runAll(const std::function<bool()>& stop);

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;     // guarded by mutex_
  bool wakePending_ = false;  // guarded by mutex_
};

}  // namespace vorn::platform
