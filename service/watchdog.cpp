// The supervisor's watchdog: one thread that waits for every agent process
// at once and applies the restart rules (restart_rules.h) to each that ends.
// New agents are handed over to it as queued calls, and the restart timers it
// arms run their routines on it; so only this thread changes the wait list
// while it runs, and only it closes what its wait holds.
#include <array>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/wait.h"
#include "service/agent_supervisor.h"
#include "service/restart_rules.h"
#include "service/service_event_log.h"

namespace vorn {

std::uint32_t AgentSupervisor::StartWatchdog() {
  std::unique_ptr<platform::Thread> thread;
  if (const std::uint32_t error = platform::createThread([this] { WatchdogThread(); }, thread)) return error;
  std::lock_guard lock(tableLock_);
  watchdog_ = std::move(thread);
  return platform::kErrorSuccess;
}

void AgentSupervisor::WatchdogThread() {
  watchdogId_ = std::this_thread::get_id();
  while (stop_.get() < STOP_TERMINATING) {
    // Only this thread changes the list while it runs: its queued calls run
    // during its own waits, and they only append past the positions waited for.
    const std::size_t count = waitList_.count();
    if (count == 0) {
      static_cast<void>(platform::sleepEx(platform::kInfinite, true));
      continue;
    }
    const std::uint32_t result = platform::waitForMultipleObjects(waitList_.handles(), platform::kInfinite, true);
    if (stop_.get() >= STOP_TERMINATING) break;
    if (result == platform::kWaitFailed) {
      log_.ReportLastError("watchdog wait failure, watchdog ending");
      break;
    }
    if (result == platform::kWaitIoCompletion) continue;
    if (result >= platform::kWaitObject0 + count) {
      log_.ReportErrorCode("watchdog wait failure, return code", result);
      break;
    }
    if (!AgentEnded(result - platform::kWaitObject0)) break;
  }
}

bool AgentSupervisor::AgentEnded(std::size_t position) {
  std::string profileName;
  bool released = false;
  std::string endEvent;
  std::uint32_t armError = platform::kErrorSuccess;
  {
    std::lock_guard lock(tableLock_);
    if (stop_.get() >= STOP_TERMINATING) return false;
    const int slot = waitList_.slotAt(position);
    waitList_.remove(position);
    SubserviceEntry& entry = table_[slot];
    const std::uint32_t processId = entry.processId;
    profileName = entry.profileName;
    entry.process.reset();
    entry.terminationEvent.reset();
    entry.processId = 0;
    released = !RestartsAfterEnd(stop_.get(), entry.status);
    if (released) {
      table_.ReleaseEntry(slot);
    } else {
      entry.status = SUBSERVICE_RETRYING;
      // Armed on this thread, so the routine runs here; armed under the lock,
      // so that a kill or a stop that follows cancels it.
      const std::uint64_t generation = entry.generation;
      const auto routine = [this, slot, generation] { RestartTimerRoutine(slot, generation); };
      if (!entry.restartTimer->set(kRestartDueTime, routine)) armError = platform::lastError();
      endEvent = AgentEndEvent(entry.restarts, clock_.tickCount64(), processId, profileName);
    }
  }
  if (released) {
    log_.ReportError(kAgentReleasedMessage, profileName);
    return true;
  }
  if (armError != platform::kErrorSuccess) {
    platform::setLastError(armError);
    log_.ReportLastError("setwaitabletimer failed");
  }
  if (!endEvent.empty()) log_.ReportError(endEvent, "");
  return true;
}

bool AgentSupervisor::HandToWatchdog(int slot) {
  if (!watchdog_) {
    platform::setLastError(platform::kErrorInvalidHandle);
    return false;
  }
  const std::uint64_t generation = table_[slot].generation;
  return watchdog_->queueCall([this, slot, generation] { AddToWaitList(slot, generation); });
}

bool AgentSupervisor::queueToWatchdog(std::function<void()> call) {
  std::lock_guard lock(tableLock_);
  return watchdog_ && watchdog_->queueCall(std::move(call));
}

void AgentSupervisor::AddToWaitList(int slot, std::uint64_t generation) {
  std::lock_guard lock(tableLock_);
  if (!SubserviceTable::isSlot(slot)) return;
  SubserviceEntry& entry = table_[slot];
  if (entry.generation != generation || !entry.process || waitList_.holdsSlot(slot)) return;
  // The stop sequence is terminating every slot's process: the list is its now.
  if (stop_.get() >= STOP_TERMINATING) return;
  // A slot holds one process at most, so the list never overflows.
  static_cast<void>(waitList_.add(*entry.process, slot));
}

void AgentSupervisor::RestartTimerRoutine(int slot, std::uint64_t generation) {
  std::string profileName;
  LaunchOutcome outcome;
  std::uint32_t error = platform::kErrorSuccess;
  {
    std::lock_guard lock(tableLock_);
    if (!SubserviceTable::isSlot(slot) || !table_[slot].used() || table_[slot].generation != generation) {
      log_.ReportErrorCode("ohno bad timer restart, param=", static_cast<std::int32_t>(slot));
      return;
    }
    if (stop_.begun()) return;  // no launches once a stop has begun
    SubserviceEntry& entry = table_[slot];
    profileName = entry.profileName;
    outcome = LaunchAgent(slot);
    error = platform::lastError();
    entry.restarts.lastRestartTick = clock_.tickCount64();
  }
  if (outcome.handOverFailed) {
    handOverFailed_();
  } else if (outcome.processId == 0) {
    platform::setLastError(error);
    log_.ReportLastError("Init error, failed to re-create:\n" + profileName);
  }
}

void AgentSupervisor::EndWatchdog() {
  platform::Thread* thread = nullptr;
  {
    std::lock_guard lock(tableLock_);
    stop_.advance(STOP_TERMINATING);
    thread = watchdog_.get();
  }
  if (thread == nullptr || watchdogId_.load() == std::this_thread::get_id()) return;
  // The queued call only wakes it; a thread that has ended takes none, and
  // its wait below returns at once.
  static_cast<void>(thread->queueCall([] {}));
  const std::array<platform::Waitable*, 1> objects{thread};
  // Should this wait fail, the handles are closed all the same: a wait that
  // still holds them keeps what it was handed until it returns.
  static_cast<void>(platform::waitForMultipleObjects(objects, platform::kInfinite, false));
}

}  // namespace vorn
