#include "service/service_startup.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/profile_key_names.h"
#include "common/service_identity.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "service/agent_launcher.h"
#include "service/print_service.h"
#include "service/stop_sequence.h"

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

void ServiceStartup(PrintService& service) {
  if (const std::uint32_t error = StartWatchdog(service)) {
    platform::setLastError(error);
    service.log.ReportLastError("can't create subservice watchdog");
  }
  // Before the scan, so that show answers while the agents start; after the
  // watchdog, which every run request hands its agent to.
  if (service.services.controlPipe) service.pipe.StartPipeServerThread();

  platform::Registry& registry = service.services.registry;
  std::unique_ptr<platform::RegistryKey> profiles;
  if (const std::uint32_t error = registry.openKey(kProfilesKey, kProfileAccess, profiles)) {
    platform::setLastError(error);
    service.log.ReportLastError("couldn't open registry");
    return;
  }
  for (std::uint32_t index = 0; !service.stop.begun(); ++index) {
    std::string name;
    std::string unicodeName;
    if (profiles->enumSubkeyNames(index, name, unicodeName) != platform::kErrorSuccess) break;
    // A key that no agent could be started for is named and passed over; the
    // profiles after it still start.
    if (const ProfileKeyFault fault = profileKeyFault(name, unicodeName); fault != ProfileKeyFault::none) {
      service.log.ReportError("printer profile skipped: " + std::string(profileKeyFaultText(fault)),
                              profileKeyDisplayName(name, unicodeName));
      continue;
    }
    std::unique_ptr<platform::RegistryKey> profile;
    if (registry.openKey(std::string(kProfilesKey) + "\\" + name, kProfileAccess, profile) != platform::kErrorSuccess)
      continue;
    if (isActive(*profile)) {
      service.ReportServiceStatus([&service](platform::ServiceStatus& status) {
        if (service.stop.begun()) return false;
        ++status.dwCheckPoint;
        return true;
      });
      StartProfileAtBoot(service, name);
    }
    profile.reset();
    service.services.clock.sleep(kStartupPauseMs);
  }
}

void StartProfileAtBoot(PrintService& service, std::string_view profileName) {
  bool added = false;
  LaunchOutcome outcome;
  std::uint32_t error = platform::kErrorSuccess;
  {
    std::lock_guard lock(service.tableLock);
    if (service.stop.begun()) return;  // no launches once a stop has begun
    const int slot = service.table.AddEntry(profileName);
    added = slot >= 0;
    if (added) outcome = LaunchAgent(service, slot);
    error = platform::lastError();
  }
  platform::setLastError(error);
  if (!added) {
    service.log.ReportLastError("ohno addtotable failed", profileName);
  } else if (outcome.handOverFailed) {
    FatalStop(service, "QueueUserAPC failed");
  } else if (outcome.processId == 0) {
    service.log.ReportLastError("Init error, failed to create:\n" + std::string(profileName));
  }
}

}  // namespace vorn
