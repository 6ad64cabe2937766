#include "platform/posix/manager_events.h"

#include <array>
#include <optional>

#include "platform/event_log.h"

namespace vorn::platform::posix {

void reportManagerEvent(std::string_view serviceName, std::string_view message, std::string_view detail) {
  const std::unique_ptr<EventSource> source = systemEventLog().registerSource("Service Control Manager");
  if (!source) return;
  const std::array<std::optional<std::string_view>, 3> strings{serviceName, message, detail};
  static_cast<void>(source->report(kEventLogErrorType, 0, 1, strings));
}

}  // namespace vorn::platform::posix
