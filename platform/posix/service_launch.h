// Starting a registered service's program, as the service control manager
// does on StartServiceA.
#pragma once

#include <cstdint>

#include "platform/posix/service_database.h"

namespace vorn::platform::posix {

// Spawns the registration's program detached (a session of its own, standard
// streams on /dev/null, an empty signal mask and default dispositions, no
// descriptors beyond 0-2) with this process's environment plus
// VORNPRINT_SERVICE=<name> and the platform root as its current folder;
// records it start-pending at once and writes its pid file; returns when its
// dispatcher listens on the control socket. kErrorServiceRequestTimeout (1053) when the program
// ends first or does not listen within 30 s (real time); the program's
// spawn errors as Win32 codes (kErrorFileNotFound for a missing program).
// The caller holds the service's lock.
std::uint32_t launchService(const ServiceFolder& folder, const ServiceRegistration& registration);

}  // namespace vorn::platform::posix
