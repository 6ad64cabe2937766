// The service's one stop: signal every agent, give them the grace period,
// terminate those that remain (unless the system shuts down), report the
// service stopped. A fatal stop runs the same sequence.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn {

class PrintService;

// The agents' grace period.
inline constexpr std::uint32_t kGracePeriodMs = 10000;

// Runs the stop sequence for `control` (a stop, or a shutdown, which leaves
// the agents to the system). The caller has claimed the stop (StopState::begin).
void StopSequence(PrintService& service, std::uint32_t control);

// Fatal stops: the event, the code as the service's exit code, the stop
// sequence, then the end of the process with exit code 1. When a stop is
// already under way, only the event and the exit code are recorded and the
// call returns: the running sequence finishes and the process ends with 1.
// Never with the table lock held.
void FatalStop(PrintService& service, std::string_view message);           // code 1, empty detail
void FatalStopLastError(PrintService& service, std::string_view message);  // the last error

}  // namespace vorn
