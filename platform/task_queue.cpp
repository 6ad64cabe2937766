#include "platform/task_queue.h"

#include <utility>

namespace vorn::platform {

bool TaskQueue::push(Task task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  if (wakePending_) return false;
  wakePending_ = true;
  return true;
}

void TaskQueue::wakeLost() {
  std::lock_guard lock(mutex_);
  wakePending_ = false;
}

void TaskQueue::runAll(const std::function<bool()>& stop) {
  std::deque<Task> ready;
  {
    std::lock_guard lock(mutex_);
    ready.swap(tasks_);
    wakePending_ = false;
  }
  while (!ready.empty() && !stop()) {
    Task task = std::move(ready.front());
    ready.pop_front();
    task();
  }
  if (ready.empty()) return;
  std::lock_guard lock(mutex_);
  for (auto it = ready.rbegin(); it != ready.rend(); ++it) tasks_.push_front(std::move(*it));
}

}  // namespace vorn::platform
