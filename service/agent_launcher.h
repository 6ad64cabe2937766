// Starting the agent of a slot: its environment with the termination event,
// its command line and the process. The supervisor (agent_supervisor.h)
// then hands the process to its watchdog.
#pragma once

#include <cstdint>

namespace vorn {

class ServiceEventLog;
struct SubserviceEntry;

// The environment variable through which an agent receives its termination
// event: the event's handle value in nine decimal digits.
inline constexpr const char* kTerminateMutexVariable = "TerminateMutex";

struct LaunchOutcome {
  // The agent's process id; 0 when it was not started (the slot is then
  // SUBSERVICE_START_FAILED and the last error tells why).
  std::uint32_t processId = 0;
  // The agent was started but could not be handed to the watchdog: it was
  // terminated again, and the fatal stop "QueueUserAPC failed" follows once
  // the table lock is released.
  bool handOverFailed = false;
};

// How the supervisor starts an agent: its own LaunchAgent, or a test's
// stand-in that starts no process.
class AgentStarter {
 public:
  virtual ~AgentStarter() = default;
  // Starts the agent of a used slot, as LaunchAgent does; the caller holds
  // the table lock.
  virtual LaunchOutcome LaunchAgent(SubserviceEntry& entry) = 0;
};

// Starts the spoolagent process of a used slot and sets the slot's process,
// process id and termination event: 0, or the code of the failure (the slot
// is then left as AbandonLaunch leaves it). Events for what goes wrong after
// the process runs.
std::uint32_t StartAgentProcess(SubserviceEntry& entry, ServiceEventLog& log);

// What a launch leaves when no agent runs: the process (if any) terminated,
// nothing open, status SUBSERVICE_START_FAILED, `error` as the last error.
LaunchOutcome AbandonLaunch(SubserviceEntry& entry, std::uint32_t error, bool handOverFailed = false);

}  // namespace vorn
