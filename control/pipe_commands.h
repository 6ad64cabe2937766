// spoolcmd's commands through the service's control pipe: one request, one
// reply each.
#pragma once

#include <cstdint>
#include <string_view>

#include "control/pipe_replies.h"

namespace vorn {

// Lists the agents (or says that the service is not there).
void ShowAgents();

// Starts or ends the agent of a profile, printing the service's refusal or
// the pipe call's failure; its result is 0 when the service did it, else the
// service's error code or the pipe call's system error code.
ProfileReplyOutcome RunProfile(std::string_view profileName);
ProfileReplyOutcome KillProfile(std::string_view profileName);

}  // namespace vorn
