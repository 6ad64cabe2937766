// Processes on POSIX carry no access list: who may signal or inspect an agent
// follows from its user, so there is nothing to grant.
#include "platform/process_security.h"

namespace vorn::platform {

std::uint32_t grantProcessReadAccess(ProcessHandle& /*process*/, std::string_view /*trusteeName*/) { return 0; }

}  // namespace vorn::platform
