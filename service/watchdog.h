// The watchdog: one thread that waits for every agent process at once,
// restarts an agent 60 seconds after it ended while the service runs, and
// frees the slot of an agent that was killed or ended during a stop. New
// agents are handed over to it as queued calls, and the restart timers it
// arms run their routines on it; so only this thread changes the wait list
// while it runs, and only it closes what its wait holds.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>

#include "platform/thread.h"
#include "platform/wait.h"

namespace vorn {

class PrintService;

// 60 seconds, relative, in 100-ns units.
inline constexpr std::int64_t kRestartDueTime = -600000000;
// An agent that ends within this time of its last restart is restarted
// without a new event...
inline constexpr std::uint64_t kQuietPeriodMs = 300000;
// ...but one that keeps doing so is reported once an hour with how often it
// ended, so that a crash loop never goes unseen.
inline constexpr std::uint64_t kEndLoopReportMs = 3600000;

// The processes the watchdog waits for, in the order they were added, and
// the slot of each. Guarded by the table lock.
class WaitList {
 public:
  // Appends; false when the list holds kMaximumWaitObjects already.
  bool add(platform::Waitable& process, int slot);
  // Removes a position; the later ones move down by one.
  void remove(std::size_t position);
  void clear() { count_ = 0; }

  std::size_t count() const { return count_; }
  int slotAt(std::size_t position) const { return slots_.at(position); }
  bool holdsSlot(int slot) const;
  std::span<platform::Waitable* const> handles() const { return {handles_.data(), count_}; }

 private:
  std::array<platform::Waitable*, platform::kMaximumWaitObjects> handles_{};
  std::array<int, platform::kMaximumWaitObjects> slots_{};
  std::size_t count_ = 0;
};

// The watchdog's thread, once started (set under the table lock).
struct WatchdogHandle {
  std::unique_ptr<platform::Thread> thread;
  std::atomic<std::thread::id> id{};
};

// Starts the watchdog thread: 0, or the code of the failure.
std::uint32_t StartWatchdog(PrintService& service);

// The thread's routine: waits and reaps until the stop sequence terminates
// the agents, or a wait fails.
void WatchdogThread(PrintService& service);

// Queues AddToWaitList for the slot's new process to the watchdog thread
// (QueueUserAPC). Caller holds the table lock. false with the last error set
// when it cannot be queued.
bool HandToWatchdog(PrintService& service, int slot);

// Queued by HandToWatchdog: appends the slot's process to the wait list,
// unless the slot's use has ended meanwhile.
void AddToWaitList(PrintService& service, int slot, std::uint64_t generation);

// The completion routine of a slot's restart timer, armed for one use of
// the slot (its generation).
void RestartTimerRoutine(PrintService& service, int slot, std::uint64_t generation);

// Once StopState is STOP_TERMINATING: wakes the watchdog and waits until it
// has left its wait, so that the handles it waited for can be terminated and
// closed. Returns at once on the watchdog thread itself. Not with the table
// lock held.
void EndWatchdog(PrintService& service);

}  // namespace vorn
