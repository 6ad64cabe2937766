// How the service restarts its agents, in one place: an agent that ends
// while the service runs is started again 60 seconds later; its slot is
// freed instead when a kill request ended it or the service stops. The first
// end is reported, and so is an end that comes more than the quiet period
// after the agent's last restart; ends within the quiet period are counted
// and reported once an hour, so that a crash loop never goes unseen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// 60 seconds, relative, in 100-ns units (the restart timer's due time).
inline constexpr std::int64_t kRestartDueTime = -600000000;
// An agent that ends within this time of its last restart is restarted
// without a new event...
inline constexpr std::uint64_t kQuietPeriodMs = 300000;
// ...but one that keeps doing so is reported once an hour with how often it
// ended.
inline constexpr std::uint64_t kEndLoopReportMs = 3600000;

// The event of an agent whose slot is freed at its end (the detail is the
// profile's name).
inline constexpr std::string_view kAgentReleasedMessage = "printer subservice terminated. profile=";

// A slot's restarts and ends, on the monotonic clock (milliseconds).
struct RestartHistory {
  // When the restart timer last started the agent; none until then.
  std::optional<std::uint64_t> lastRestartTick;
  // Ends within the quiet period since the last event about this agent's
  // ends, and when that event was written.
  std::uint32_t quietEnds = 0;
  std::optional<std::uint64_t> lastEndReportTick;
};

// Whether an agent that ended is restarted (else its slot is freed): only
// while no stop has begun, and not after a kill request.
bool RestartsAfterEnd(std::int32_t stopState, std::int32_t slotStatus);

// Counts the end of a restarted agent that came `now`, and gives the event
// to write about it: the retry event, the hourly crash-loop event, or
// nothing (empty) for a quiet end.
std::string AgentEndEvent(RestartHistory& history, std::uint64_t now, std::uint32_t processId,
                          std::string_view profileName);

}  // namespace vorn
