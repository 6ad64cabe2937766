#include "service/restart_rules.h"

#include "service/stop_state.h"
#include "service/subservice_table.h"

namespace vorn {
namespace {

// Process ids are written as the signed numbers they are on Windows.
std::string processIdText(std::uint32_t processId) { return std::to_string(static_cast<std::int32_t>(processId)); }

std::string retryMessage(std::uint32_t processId, std::string_view profileName) {
  return "printer subservice " + processIdText(processId) + " terminated (profile " + std::string(profileName) +
         ") - will retry every 60 sec.  Run 'spoolcmd show' to check status";
}

std::string endLoopMessage(std::uint32_t processId, std::string_view profileName, std::uint32_t ends,
                           std::uint64_t minutes) {
  return "printer subservice " + processIdText(processId) + " keeps terminating (profile " +
         std::string(profileName) + ") - ended " + std::to_string(ends) + " times in " + std::to_string(minutes) +
         " min., each within 300 sec. of its restart; will retry every 60 sec.  Run 'spoolcmd show' to check status";
}

}  // namespace

bool RestartsAfterEnd(std::int32_t stopState, std::int32_t slotStatus) {
  return stopState == STOP_NONE && slotStatus != SUBSERVICE_KILLED;
}

std::string AgentEndEvent(RestartHistory& history, std::uint64_t now, std::uint32_t processId,
                          std::string_view profileName) {
  const bool quiet = history.lastRestartTick && now - *history.lastRestartTick <= kQuietPeriodMs;
  const std::uint64_t since = history.lastEndReportTick.value_or(now);
  if (!quiet) {
    history.quietEnds = 0;
    history.lastEndReportTick = now;
    return retryMessage(processId, profileName);
  }
  ++history.quietEnds;
  if (now - since < kEndLoopReportMs) return {};
  const std::uint32_t ends = history.quietEnds;
  history.quietEnds = 0;
  history.lastEndReportTick = now;
  return endLoopMessage(processId, profileName, ends, (now - since) / 60000);
}

}  // namespace vorn
