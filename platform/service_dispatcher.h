// The service control manager, as the program of a service sees it.
// Stands for: StartServiceCtrlDispatcherA, RegisterServiceCtrlHandlerA,
// SetServiceStatus.
//
// A service program hands its main thread to the dispatcher. The dispatcher
// runs the service's main routine on a thread of its own and calls the
// control handler on the main thread, one control at a time. On POSIX a
// SIGTERM (or SIGINT) reaches the handler once, as kServiceControlShutdown.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/service_control.h"

namespace vorn::platform {

class ServiceDispatcher {
 public:
  using ServiceMain = std::function<void(std::span<const std::string> arguments)>;
  using ControlHandler = std::function<void(std::uint32_t control)>;

  virtual ~ServiceDispatcher() = default;

  // StartServiceCtrlDispatcherA with one entry, `serviceName` and `main`
  // (the process holds one service of its own). Returns once the service has
  // reported kServiceStopped: 0; or at once with the failure's code:
  // kErrorFailedServiceControllerConnect (1063) when the process was not
  // started by the manager (for instance from a console).
  virtual std::uint32_t run(std::string_view serviceName, ServiceMain main) = 0;

  // RegisterServiceCtrlHandlerA: `handler` receives the service's controls
  // from now on. 0, or the failure's code.
  virtual std::uint32_t registerControlHandler(std::string_view serviceName, ControlHandler handler) = 0;

  // SetServiceStatus: false with the last error set when the manager refuses
  // it (or no handler was registered).
  virtual bool setServiceStatus(const ServiceStatus& status) = 0;
};

// The manager of this machine.
ServiceDispatcher& systemServiceDispatcher();

}  // namespace vorn::platform
