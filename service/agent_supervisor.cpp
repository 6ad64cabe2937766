#include "service/agent_supervisor.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "service/service_event_log.h"

namespace vorn {
namespace {

// TerminateProcess's exit code for a killed agent.
constexpr std::uint32_t kKilledExitCode = 0xFFFFFFFF;

}  // namespace

AgentSupervisor::AgentSupervisor(StopState& stop, ServiceEventLog& log, platform::Clock& clock,
                                 std::function<void()> handOverFailed, AgentStarter* starter)
    : stop_(stop), log_(log), clock_(clock), handOverFailed_(std::move(handOverFailed)), starter_(starter) {}

LaunchOutcome AgentSupervisor::LaunchAgent(int slot) {
  SubserviceEntry& entry = table_[slot];
  if (starter_ != nullptr) return starter_->LaunchAgent(entry);
  if (const std::uint32_t error = StartAgentProcess(entry, log_)) return AbandonLaunch(entry, error);
  if (!HandToWatchdog(slot)) return AbandonLaunch(entry, platform::lastError(), true);
  return {entry.processId, false};
}

void AgentSupervisor::StartProfileAtBoot(std::string_view profileName) {
  bool added = false;
  LaunchOutcome outcome;
  std::uint32_t error = platform::kErrorSuccess;
  {
    std::lock_guard lock(tableLock_);
    if (stop_.begun()) return;  // no launches once a stop has begun
    const int slot = table_.AddEntry(profileName);
    added = slot >= 0;
    if (added) outcome = LaunchAgent(slot);
    error = platform::lastError();
  }
  platform::setLastError(error);
  if (!added) {
    log_.ReportLastError("ohno addtotable failed", profileName);
  } else if (outcome.handOverFailed) {
    handOverFailed_();
  } else if (outcome.processId == 0) {
    log_.ReportLastError("Init error, failed to create:\n" + std::string(profileName));
  }
}

AgentSupervisor::RunOutcome AgentSupervisor::RunAgent(std::string_view profileName) {
  LaunchOutcome outcome;
  std::uint32_t error = platform::kErrorSuccess;
  {
    std::lock_guard lock(tableLock_);
    // A stop that has begun ends every agent: a new one would outlive it.
    if (stop_.begun()) return {RunOutcome::stopping, 0};
    const int slot = table_.AddEntry(profileName);
    if (slot < 0) return {RunOutcome::notAdded, platform::lastError()};
    outcome = LaunchAgent(slot);
    error = platform::lastError();
  }
  if (outcome.processId != 0) return {RunOutcome::started, 0};
  if (outcome.handOverFailed) handOverFailed_();
  return {RunOutcome::notStarted, error};
}

AgentSupervisor::KillOutcome AgentSupervisor::KillAgent(std::string_view profileName) {
  std::lock_guard lock(tableLock_);
  const int found = table_.FindEntry(profileName);
  if (found < 0) return {KillOutcome::notFound, 0};

  SubserviceEntry& entry = table_[found];
  if (entry.processId == 0) {
    // Retrying or never started: no process to wait for.
    table_.ReleaseEntry(found);
    return {};
  }
  // A kill while an earlier one is still under way, or of an agent that has
  // ended and waits to be reaped: it is ending, which is what was asked.
  if (entry.status == SUBSERVICE_KILLED) return {};
  // Through the slot's own handle, under the lock: the process cannot have
  // been reaped, so its id cannot have been given to another one.
  entry.status = SUBSERVICE_KILLED;
  if (!entry.process->terminate(kKilledExitCode)) {
    const std::uint32_t error = platform::lastError();
    if (!platform::hasEnded(*entry.process)) return {KillOutcome::notTerminated, error};
  }
  return {};
}

void AgentSupervisor::withTable(const std::function<void(SubserviceTable& table)>& use) {
  std::lock_guard lock(tableLock_);
  use(table_);
}

std::vector<int> AgentSupervisor::slotsWithProcesses() const {
  std::vector<int> slots;
  for (std::size_t position = 0; position < waitList_.count(); ++position) slots.push_back(waitList_.slotAt(position));
  for (int slot = 0; slot < kSubserviceSlots; ++slot) {
    if (table_[slot].process && !waitList_.holdsSlot(slot)) slots.push_back(slot);
  }
  return slots;
}

void AgentSupervisor::SignalAgents() {
  std::lock_guard lock(tableLock_);
  stop_.advance(STOP_SIGNALLED);
  for (const int slot : slotsWithProcesses()) {
    SubserviceEntry& entry = table_[slot];
    // An agent that cannot be signalled is terminated after the grace period.
    if (entry.terminationEvent) static_cast<void>(entry.terminationEvent->set());
  }
  // No restart once the stop has begun.
  for (int slot = 0; slot < kSubserviceSlots; ++slot) {
    SubserviceEntry& entry = table_[slot];
    if (entry.used() && entry.restartTimer) static_cast<void>(entry.restartTimer->cancel());
  }
}

void AgentSupervisor::TerminateAgents(const std::function<void()>& beforeEach) {
  EndWatchdog();

  std::lock_guard lock(tableLock_);
  for (const int slot : slotsWithProcesses()) {
    SubserviceEntry& entry = table_[slot];
    beforeEach();
    // One that ended by itself and is not reaped yet needs nothing.
    if (!platform::hasEnded(*entry.process)) {
      if (entry.process->terminate(0)) {
        log_.ReportError("printer subservice terminated after the grace period. profile=", entry.profileName);
      } else {
        log_.ReportLastError("could not terminate " + entry.profileName);
      }
    }
    entry.process.reset();
    entry.terminationEvent.reset();
    entry.processId = 0;
  }
  waitList_.clear();
}

}  // namespace vorn
