// Starting the agent of a slot: its environment with the termination event,
// its command line, the process, and its hand-over to the watchdog.
#pragma once

#include <cstdint>

namespace vorn {

class PrintService;

// The environment variable through which an agent receives its termination
// event: the event's handle value in nine decimal digits.
inline constexpr const char* kTerminateMutexVariable = "TerminateMutex";

struct LaunchOutcome {
  // The agent's process id; 0 when it was not started (the slot is then
  // SUBSERVICE_START_FAILED and the last error tells why).
  std::uint32_t processId = 0;
  // The agent was started but could not be handed to the watchdog: it was
  // terminated again, and the caller raises the fatal stop "QueueUserAPC
  // failed" once it has released the table lock.
  bool handOverFailed = false;
};

// LaunchAgent. Caller holds the table lock; the slot is used.
LaunchOutcome LaunchAgent(PrintService& service, int slot);

}  // namespace vorn
