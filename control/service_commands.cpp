#include "control/service_commands.h"

#include <memory>
#include <string>

#include "common/service_identity.h"
#include "control/console.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/process.h"

namespace vorn {

void CreatePrintService(platform::ServiceManager& manager) {
  const std::string self = platform::moduleFileName();
  if (self.empty()) ExitWithSystemError("Could not get own module name");
  // The folder with its last separator: a backslash, or a slash where paths use it.
  const std::size_t separator = self.find_last_of("\\/");
  platform::ServiceConfig config;
  config.name = kServiceName;
  config.displayName = kServiceDisplayName;
  config.serviceType = platform::kServiceWin32OwnProcess;
  config.startType = platform::kServiceAutoStart;
  config.errorControl = platform::kServiceErrorNormal;
  config.binaryPath = (separator == std::string::npos ? std::string() : self.substr(0, separator + 1)) +
                      serviceProgramFileName();
  std::unique_ptr<platform::ServiceHandle> service;
  if (const std::uint32_t error = manager.createService(config, platform::kServiceAllAccess, service)) {
    platform::setLastError(error);
    ExitWithSystemError("failed to create service");
  }
}

void StopServiceAndWait(platform::ServiceHandle& service, platform::Clock& clock, bool tolerant) {
  platform::ServiceStatus status;
  if (const std::uint32_t error = service.control(platform::kServiceControlStop, status)) {
    if (tolerant) return;
    platform::setLastError(error);
    ExitWithSystemError("could not stop service");
  }
  platform::writeStandardOutput("  waiting for " + std::string(kServiceName) + " to stop ");
  while (service.queryStatus(status) == platform::kErrorSuccess && status.dwCurrentState != platform::kServiceStopped) {
    platform::writeStandardOutput(". ");
    clock.sleep(1000);
  }
}

}  // namespace vorn
