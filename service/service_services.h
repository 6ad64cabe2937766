// The platform services the print service reaches the operating system
// through. The program's top level owns them and hands them in, so that a
// test can hand in fakes that inject faults or virtual time.
#pragma once

#include <cstdint>
#include <functional>

namespace vorn::platform {
class Clock;
class EventLog;
class Registry;
class ServiceDispatcher;
}  // namespace vorn::platform

namespace vorn {

struct ServiceServices {
  platform::Registry& registry;
  platform::EventLog& eventLog;
  platform::Clock& clock;
  platform::ServiceDispatcher& dispatcher;
  // Ends the process with the code (ExitProcess). A test's stand-in returns,
  // and the service's code after it returns at once.
  std::function<void(std::uint32_t code)> endProcess;
};

}  // namespace vorn
