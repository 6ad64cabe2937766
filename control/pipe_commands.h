// spoolcmd's commands through the service's control pipe: one request, one
// reply each.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn {

// Lists the agents (or says that the service is not there).
void ShowAgents();

// Starts or ends the agent of a profile: 0 when the service did it, else the
// service's error code or the pipe call's system error code.
std::uint32_t RunProfile(std::string_view profileName);
std::uint32_t KillProfile(std::string_view profileName);

}  // namespace vorn
