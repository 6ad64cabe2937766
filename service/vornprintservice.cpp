// VornPrintService: the print service. Started by the service control
// manager; runs one spoolagent for every active printer profile.
//   VornPrintService --version   prints the version (any other arguments are ignored)
#include <span>
#include <string>
#include <string_view>

#include "common/service_identity.h"
#include "common/version.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/service_dispatcher.h"
#include "service/print_service.h"

int main(int argc, char** argv) {
  using namespace vorn;

  // The one request answered from a console; the service control manager
  // starts the program without arguments.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    platform::writeStandardOutput(VersionLine("VornPrintService"));
    platform::exitProcess(0);
  }

  platform::ServiceDispatcher& dispatcher = platform::systemServiceDispatcher();
  ServiceServices services{
      .registry = platform::systemRegistry(),
      .eventLog = platform::systemEventLog(),
      .clock = platform::systemClock(),
      .dispatcher = dispatcher,
      .endProcess = [](std::uint32_t code) { platform::exitProcess(code); },
  };
  // The process-wide state. The process leaves main only through
  // exitProcess, so no destructor runs under the service's live threads.
  PrintService service(services);

  const std::uint32_t result =
      dispatcher.run(kServiceName, [&service](std::span<const std::string>) { service.ServiceMain(); });
  if (result != platform::kErrorSuccess) {
    platform::setLastError(result);
    service.log().ReportLastError("StartServiceCtrlDispatcher error");
    platform::exitProcess(0);
  }
  // The service has reported itself stopped: the process ends now.
  platform::exitProcess(service.exitCode());
}
