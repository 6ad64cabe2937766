// The service's start-up: the watchdog, then one agent for every active
// printer profile in the registry, with a pause of one second per profile.
#pragma once

#include <string_view>

namespace vorn {

class PrintService;

// The longest profile key name the start-up takes (its name buffer holds
// 255 characters with the zero); longer names are skipped.
inline constexpr std::size_t kProfileKeyNameMax = 254;

// Called once by ServiceMain between the "started" event and the running
// status. Starts no agent once a stop has begun.
void ServiceStartup(PrintService& service);

// Adds the profile to the table and starts its agent; events for what fails.
void StartProfileAtBoot(PrintService& service, std::string_view profileName);

}  // namespace vorn
