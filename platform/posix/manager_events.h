// What the service control manager itself has to tell an administrator: an
// error event in the system event log under the source "Service Control
// Manager" (where Windows' manager writes its own), with the service's name,
// the message and a detail as its first three insertion strings.
#pragma once

#include <string_view>

namespace vorn::platform::posix {

// Never fails the caller: a log that cannot be written loses the event (it is
// still mirrored to syslog where the log allows it).
void reportManagerEvent(std::string_view serviceName, std::string_view message, std::string_view detail);

}  // namespace vorn::platform::posix
