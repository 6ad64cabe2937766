// The service's start-up: the watchdog and the control pipe, then one agent
// for every active printer profile in the registry, with a pause of one
// second per profile.
#pragma once

#include <string_view>

namespace vorn {

class PrintService;

// Called once by ServiceMain between the "started" event and the running
// status. Starts no agent once a stop has begun. A profile key the service
// cannot start an agent for (common/profile_key_names.h) is skipped with an
// event naming it.
void ServiceStartup(PrintService& service);

// Adds the profile to the table and starts its agent; events for what fails.
void StartProfileAtBoot(PrintService& service, std::string_view profileName);

}  // namespace vorn
