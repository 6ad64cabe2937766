// What the host's attach rejections and terminations write to the event log.
// The main window handles the events: each of these then closes the agent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/diag/agent_event_log.h"

namespace vorn {

// The text of an attach rejection (ConnectResult with a code other than 0);
// empty when the rejection is to close the agent without an event.
std::string AttachRejectionText(std::int32_t code, std::int32_t detail);

// The event a Terminate writes.
struct TerminationEvent {
  enum class Kind { none, information, error };
  Kind kind = Kind::none;
  std::string text;
};
TerminationEvent TerminationEventFor(std::int32_t reason, std::int32_t detail);

// The event of an attach rejection (ConnectResult with a code other than 0)
// under the profile's name; none when its text is empty.
void LogAttachRejection(AgentEventLog& log, std::string_view profileName, std::int32_t code,
                        std::int32_t detail);

// The event of the host's Terminate under the profile's name; none for reason 1.
void LogTermination(AgentEventLog& log, std::string_view profileName, std::int32_t reason,
                    std::int32_t detail);

}  // namespace vorn
