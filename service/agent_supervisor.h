// The one owner of the service's agents: the table of slots with its lock,
// the watchdog's wait list and thread, and the launcher. Every start of an
// agent (at start-up, by a run request, by a restart timer), every kill and
// every end goes through here; the restart rules are restart_rules.h's.
//
// TableLock guards the table, the wait list, the watchdog's handle and
// changes of the stop state. Every agent start happens with it held. No
// fatal stop is raised while it is held.
//
// agent_supervisor.cpp holds the table's operations and the stop's part;
// watchdog.cpp the watchdog thread, its hand-over and the restarts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "platform/lock.h"
#include "platform/thread.h"
#include "service/agent_launcher.h"
#include "service/stop_state.h"
#include "service/subservice_table.h"
#include "service/wait_list.h"

namespace vorn::platform {
class Clock;
}

namespace vorn {

class ServiceEventLog;

class AgentSupervisor {
 public:
  // `handOverFailed` raises the fatal stop "QueueUserAPC failed"; it is
  // called without the table lock. `starter`: a test's stand-in for
  // LaunchAgent, or none.
  AgentSupervisor(StopState& stop, ServiceEventLog& log, platform::Clock& clock,
                  std::function<void()> handOverFailed, AgentStarter* starter = nullptr);
  AgentSupervisor(const AgentSupervisor&) = delete;
  AgentSupervisor& operator=(const AgentSupervisor&) = delete;

  // Starts the watchdog thread: 0, or the code of the failure.
  std::uint32_t StartWatchdog();

  // Adds the profile to the table and starts its agent, unless a stop has
  // begun; events for what fails.
  void StartProfileAtBoot(std::string_view profileName);

  // A run request's start of an agent.
  struct RunOutcome {
    enum Result { started, stopping, notAdded, notStarted } result = started;
    std::uint32_t error = 0;  // notAdded, notStarted: the failure's code
  };
  RunOutcome RunAgent(std::string_view profileName);

  // A kill request: the slot of a running agent is marked killed and its
  // process terminated (the watchdog frees the slot when it has ended); one
  // without a process is freed at once.
  struct KillOutcome {
    enum Result { killed, notFound, notTerminated } result = killed;
    std::uint32_t error = 0;  // notTerminated: the failure's code
  };
  KillOutcome KillAgent(std::string_view profileName);

  // Runs `use` with the table under its lock.
  void withTable(const std::function<void(SubserviceTable& table)>& use);

  // The stop sequence's steps. SignalAgents: STOP_SIGNALLED, every agent's
  // termination event set, no restart from now on. TerminateAgents:
  // STOP_TERMINATING, the watchdog ended, every agent that still runs
  // terminated (`beforeEach` runs before each, under the lock), the wait
  // list emptied.
  void SignalAgents();
  void TerminateAgents(const std::function<void()>& beforeEach);

  // Sets STOP_TERMINATING, wakes the watchdog and waits until it has left
  // its wait, so that the handles it waited for can be terminated and
  // closed. Returns at once on the watchdog thread itself. Not with the
  // table lock held.
  void EndWatchdog();

  // The completion routine of a slot's restart timer, armed for one use of
  // the slot (its generation).
  void RestartTimerRoutine(int slot, std::uint64_t generation);

  // Queues `call` to the watchdog thread; false when there is none or it
  // takes no more calls.
  bool queueToWatchdog(std::function<void()> call);

 private:
  // LaunchAgent: starts the slot's agent and hands it to the watchdog.
  // Caller holds the table lock; the slot is used.
  LaunchOutcome LaunchAgent(int slot);
  // The slots that hold a process: those in the wait list in its order,
  // then those whose hand-over has not run, in slot order.
  std::vector<int> slotsWithProcesses() const;

  // The watchdog (watchdog.cpp).
  void WatchdogThread();
  // Queues AddToWaitList for the slot's new process (QueueUserAPC). Caller
  // holds the table lock. false with the last error set when it cannot be
  // queued.
  bool HandToWatchdog(int slot);
  // Appends the slot's process to the wait list, unless the slot's use has
  // ended meanwhile.
  void AddToWaitList(int slot, std::uint64_t generation);
  // The agent at `position` has ended: its slot is freed or waits for its
  // restart. false when the watchdog is to end.
  bool AgentEnded(std::size_t position);

  StopState& stop_;
  ServiceEventLog& log_;
  platform::Clock& clock_;
  std::function<void()> handOverFailed_;
  AgentStarter* starter_;

  mutable platform::CriticalSection tableLock_;
  SubserviceTable table_;
  WaitList waitList_;
  std::unique_ptr<platform::Thread> watchdog_;
  std::atomic<std::thread::id> watchdogId_{};
};

}  // namespace vorn
