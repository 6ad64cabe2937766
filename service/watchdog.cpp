#include "service/watchdog.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/error.h"
#include "service/agent_launcher.h"
#include "service/print_service.h"
#include "service/stop_sequence.h"

namespace vorn {
namespace {

std::string retryMessage(std::uint32_t processId, std::string_view profileName) {
  return "printer subservice " + std::to_string(static_cast<std::int32_t>(processId)) + " terminated (profile " +
         std::string(profileName) + ") - will retry every 60 sec.  Run 'spoolcmd show' to check status";
}

// What the watchdog writes about an agent's end.
struct EndReport {
  bool retry = false;      // the retry event: the first end, or one after a quiet period
  std::uint32_t ends = 0;  // else, when not 0: the hourly event of a crash loop with this many ends
  std::uint64_t minutes = 0;
};

// Counts an end that came `now`, and tells what to write about it.
EndReport countEnd(SubserviceEntry& entry, std::uint64_t now) {
  const bool quiet = entry.lastRestartTick && now - *entry.lastRestartTick <= kQuietPeriodMs;
  const std::uint64_t since = entry.lastEndReportTick.value_or(now);
  if (!quiet) {
    entry.quietEnds = 0;
    entry.lastEndReportTick = now;
    return {true, 0, 0};
  }
  ++entry.quietEnds;
  if (now - since < kEndLoopReportMs) return {};
  const EndReport report{false, entry.quietEnds, (now - since) / 60000};
  entry.quietEnds = 0;
  entry.lastEndReportTick = now;
  return report;
}

std::string endLoopMessage(std::uint32_t processId, std::string_view profileName, const EndReport& report) {
  return "printer subservice " + std::to_string(static_cast<std::int32_t>(processId)) +
         " keeps terminating (profile " + std::string(profileName) + ") - ended " + std::to_string(report.ends) +
         " times in " + std::to_string(report.minutes) +
         " min., each within 300 sec. of its restart; will retry every 60 sec.  Run 'spoolcmd show' to check status";
}

// The agent at `position` has ended: its slot is freed (killed, or the
// service stops) or waits for its restart. false when the watchdog is to end.
bool AgentEnded(PrintService& service, std::size_t position) {
  std::string profileName;
  std::uint32_t processId = 0;
  bool freed = false;
  EndReport report;
  std::uint32_t armError = platform::kErrorSuccess;
  {
    std::lock_guard lock(service.tableLock);
    if (service.stop.get() >= STOP_TERMINATING) return false;
    const int slot = service.waitList.slotAt(position);
    service.waitList.remove(position);
    SubserviceEntry& entry = service.table[slot];
    processId = entry.processId;
    profileName = entry.profileName;
    entry.process.reset();
    entry.terminationEvent.reset();
    entry.processId = 0;
    freed = service.stop.get() != STOP_NONE || entry.status == SUBSERVICE_KILLED;
    if (freed) {
      service.table.ReleaseEntry(slot);
    } else {
      entry.status = SUBSERVICE_RETRYING;
      // Armed on this thread, so the routine runs here; armed under the lock,
      // so that a kill or a stop that follows cancels it.
      const std::uint64_t generation = entry.generation;
      if (!entry.restartTimer->set(kRestartDueTime, [&service, slot, generation] {
            RestartTimerRoutine(service, slot, generation);
          })) {
        armError = platform::lastError();
      }
      report = countEnd(entry, service.services.clock.tickCount64());
    }
  }
  if (freed) {
    service.log.ReportError("printer subservice terminated. profile=", profileName);
    return true;
  }
  if (armError != platform::kErrorSuccess) {
    platform::setLastError(armError);
    service.log.ReportLastError("setwaitabletimer failed");
  }
  if (report.retry) {
    service.log.ReportError(retryMessage(processId, profileName), "");
  } else if (report.ends != 0) {
    service.log.ReportError(endLoopMessage(processId, profileName, report), "");
  }
  return true;
}

}  // namespace

bool WaitList::add(platform::Waitable& process, int slot) {
  if (count_ == handles_.size()) return false;
  handles_[count_] = &process;
  slots_[count_] = slot;
  ++count_;
  return true;
}

void WaitList::remove(std::size_t position) {
  if (position >= count_) return;
  std::copy(handles_.begin() + static_cast<std::ptrdiff_t>(position + 1),
            handles_.begin() + static_cast<std::ptrdiff_t>(count_),
            handles_.begin() + static_cast<std::ptrdiff_t>(position));
  std::copy(slots_.begin() + static_cast<std::ptrdiff_t>(position + 1),
            slots_.begin() + static_cast<std::ptrdiff_t>(count_),
            slots_.begin() + static_cast<std::ptrdiff_t>(position));
  --count_;
}

bool WaitList::holdsSlot(int slot) const {
  return std::find(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(count_), slot) !=
         slots_.begin() + static_cast<std::ptrdiff_t>(count_);
}

std::uint32_t StartWatchdog(PrintService& service) {
  std::unique_ptr<platform::Thread> thread;
  if (const std::uint32_t error = platform::createThread([&service] { WatchdogThread(service); }, thread))
    return error;
  std::lock_guard lock(service.tableLock);
  service.watchdog.thread = std::move(thread);
  return platform::kErrorSuccess;
}

void WatchdogThread(PrintService& service) {
  service.watchdog.id = std::this_thread::get_id();
  WaitList& waitList = service.waitList;
  while (service.stop.get() < STOP_TERMINATING) {
    // Only this thread changes the list while it runs: its queued calls run
    // during its own waits, and they only append past the positions waited for.
    const std::size_t count = waitList.count();
    if (count == 0) {
      static_cast<void>(platform::sleepEx(platform::kInfinite, true));
      continue;
    }
    const std::uint32_t result = platform::waitForMultipleObjects(waitList.handles(), platform::kInfinite, true);
    if (service.stop.get() >= STOP_TERMINATING) break;
    if (result == platform::kWaitFailed) {
      service.log.ReportLastError("watchdog wait failure, watchdog ending");
      break;
    }
    if (result == platform::kWaitIoCompletion) continue;
    if (result >= platform::kWaitObject0 + count) {
      service.log.ReportErrorCode("watchdog wait failure, return code", result);
      break;
    }
    if (!AgentEnded(service, result - platform::kWaitObject0)) break;
  }
}

bool HandToWatchdog(PrintService& service, int slot) {
  platform::Thread* thread = service.watchdog.thread.get();
  if (thread == nullptr) {
    platform::setLastError(platform::kErrorInvalidHandle);
    return false;
  }
  const std::uint64_t generation = service.table[slot].generation;
  return thread->queueCall([&service, slot, generation] { AddToWaitList(service, slot, generation); });
}

void AddToWaitList(PrintService& service, int slot, std::uint64_t generation) {
  std::lock_guard lock(service.tableLock);
  if (!SubserviceTable::isSlot(slot)) return;
  SubserviceEntry& entry = service.table[slot];
  if (entry.generation != generation || !entry.process || service.waitList.holdsSlot(slot)) return;
  // The stop sequence is terminating every slot's process: the list is its now.
  if (service.stop.get() >= STOP_TERMINATING) return;
  // A slot holds one process at most, so the list never overflows.
  static_cast<void>(service.waitList.add(*entry.process, slot));
}

void RestartTimerRoutine(PrintService& service, int slot, std::uint64_t generation) {
  std::string profileName;
  LaunchOutcome outcome;
  std::uint32_t error = platform::kErrorSuccess;
  {
    std::lock_guard lock(service.tableLock);
    if (!SubserviceTable::isSlot(slot) || !service.table[slot].used() || service.table[slot].generation != generation) {
      service.log.ReportErrorCode("ohno bad timer restart, param=", static_cast<std::int32_t>(slot));
      return;
    }
    if (service.stop.begun()) return;  // no launches once a stop has begun
    SubserviceEntry& entry = service.table[slot];
    profileName = entry.profileName;
    outcome = LaunchAgent(service, slot);
    error = platform::lastError();
    entry.lastRestartTick = service.services.clock.tickCount64();
  }
  if (outcome.handOverFailed) {
    FatalStop(service, "QueueUserAPC failed");
  } else if (outcome.processId == 0) {
    platform::setLastError(error);
    service.log.ReportLastError("Init error, failed to re-create:\n" + profileName);
  }
}

void EndWatchdog(PrintService& service) {
  platform::Thread* thread = nullptr;
  {
    std::lock_guard lock(service.tableLock);
    thread = service.watchdog.thread.get();
  }
  if (thread == nullptr || service.watchdog.id.load() == std::this_thread::get_id()) return;
  // The queued call only wakes it; a thread that has ended takes none, and
  // its wait below returns at once.
  static_cast<void>(thread->queueCall([] {}));
  const std::array<platform::Waitable*, 1> objects{thread};
  // Should this wait fail, the handles are closed all the same: a wait that
  // still holds them keeps what it was handed until it returns.
  static_cast<void>(platform::waitForMultipleObjects(objects, platform::kInfinite, false));
}

}  // namespace vorn
