// spoolcmd's commands through the service control manager: install,
// uninstall, start and stop the print service.
#pragma once

#include "platform/service_control.h"

namespace vorn::platform {
class Clock;
}

namespace vorn {

// Registers the service with the program file beside this program. Ends the
// program with an error when that fails.
void CreatePrintService(platform::ServiceManager& manager);

// Sends the stop control and waits, a dot a second, until the service has
// stopped. A stop that is refused ends the program with an error, unless
// `tolerant` (a delete of a stopped service goes on).
void StopServiceAndWait(platform::ServiceHandle& service, platform::Clock& clock, bool tolerant);

}  // namespace vorn
