// Access to a process this one started, for a group of the machine.
// Stands for: GetSecurityInfo (kernel object, access list only),
// BuildExplicitAccessWithNameA (GENERIC_READ, SET_ACCESS, no inheritance),
// SetEntriesInAclA, SetSecurityInfo, LocalFree.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn::platform {

class ProcessHandle;

// Gives the group `trusteeName` read access to `process`. Returns 0, or the
// status with which the process's access list could not be read (nothing
// else is then done); whether the merged list could be set is not told. On
// POSIX processes have no access lists: nothing to do, 0.
std::uint32_t grantProcessReadAccess(ProcessHandle& process, std::string_view trusteeName);

}  // namespace vorn::platform
