// The service's start-up: the watchdog and the control pipe, then one agent
// for every active printer profile in the registry, with a pause of one
// second per profile. A profile key the service cannot start an agent for
// (common/profile_key_names.h) is skipped with an event naming it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "common/profile_key_names.h"
#include "common/service_identity.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "service/print_service.h"

namespace vorn {
namespace {

constexpr std::uint32_t kProfileAccess = platform::kKeyRead | platform::kKeyWow64_64Key;
constexpr std::uint32_t kStartupPauseMs = 1000;

// "Active" read into 255 bytes, whatever its type, is exactly "yes" up to its zero.
bool isActive(platform::RegistryKey& profile) {
  std::array<std::uint8_t, 255> data{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (profile.queryValue("Active", type, data, size) != platform::kErrorSuccess) return false;
  const std::string_view bytes(reinterpret_cast<const char*>(data.data()), std::min<std::size_t>(size, data.size()));
  return bytes.substr(0, bytes.find('\0')) == "yes";
}

}  // namespace

void PrintService::ServiceStartup() {
  if (const std::uint32_t error = agents_.StartWatchdog()) {
    platform::setLastError(error);
    log_.ReportLastError("can't create subservice watchdog");
  }
  // Before the scan, so that show answers while the agents start; after the
  // watchdog, which every run request hands its agent to.
  if (services_.controlPipe) pipe_.StartPipeServerThread();

  platform::Registry& registry = services_.registry;
  std::unique_ptr<platform::RegistryKey> profiles;
  if (const std::uint32_t error = registry.openKey(kProfilesKey, kProfileAccess, profiles)) {
    platform::setLastError(error);
    log_.ReportLastError("couldn't open registry");
    return;
  }
  for (std::uint32_t index = 0; !stop_.begun(); ++index) {
    std::string name;
    std::string unicodeName;
    if (profiles->enumSubkeyNames(index, name, unicodeName) != platform::kErrorSuccess) break;
    // A key that no agent could be started for is named and passed over; the
    // profiles after it still start.
    if (const ProfileKeyFault fault = profileKeyFault(name, unicodeName); fault != ProfileKeyFault::none) {
      log_.ReportError("printer profile skipped: " + std::string(profileKeyFaultText(fault)),
                       profileKeyDisplayName(name, unicodeName));
      continue;
    }
    std::unique_ptr<platform::RegistryKey> profile;
    if (registry.openKey(std::string(kProfilesKey) + "\\" + name, kProfileAccess, profile) != platform::kErrorSuccess)
      continue;
    if (isActive(*profile)) {
      ReportServiceStatus([this](platform::ServiceStatus& status) {
        if (stop_.begun()) return false;
        ++status.dwCheckPoint;
        return true;
      });
      agents_.StartProfileAtBoot(name);
    }
    profile.reset();
    services_.clock.sleep(kStartupPauseMs);
  }
}

}  // namespace vorn
