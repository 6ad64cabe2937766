// The service's one stop: signal every agent, give them the grace period,
// terminate those that remain (unless the system shuts down), report the
// service stopped. A fatal stop runs the same sequence.
#include <string_view>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/service_control.h"
#include "service/print_service.h"

namespace vorn {

void PrintService::StopSequence(std::uint32_t control) {
  log_.ReportInfo("shutting down", "");
  agents_.SignalAgents();
  ReportServiceStatus([](platform::ServiceStatus& status) {
    ++status.dwCheckPoint;
    return true;
  });
  services_.clock.sleep(kGracePeriodMs);
  // A system shutdown leaves the agents to the system.
  if (control != platform::kServiceControlShutdown) {
    agents_.TerminateAgents([this] {
      ReportServiceStatus([](platform::ServiceStatus& status) {
        ++status.dwCheckPoint;
        return true;
      });
    });
  }
  ReportServiceStatus([](platform::ServiceStatus& status) {
    status.dwCurrentState = platform::kServiceStopped;
    return true;
  });
}

void PrintService::FatalStop(std::string_view message) {
  log_.ReportError(message, "");
  stopWithExitCode(1);
}

void PrintService::FatalStopLastError(std::string_view message) {
  const std::uint32_t code = platform::lastError();
  log_.ReportErrorCode(message, code);
  stopWithExitCode(code);
}

void PrintService::stopWithExitCode(std::uint32_t code) {
  stop_.markFatal();
  bool began = false;
  ReportServiceStatus([&](platform::ServiceStatus& status) {
    status.dwWin32ExitCode = code;
    began = stop_.begin();
    if (!began) return false;  // the running sequence reports it
    status.dwCurrentState = platform::kServiceStopPending;
    status.dwCheckPoint = 0;
    status.dwWaitHint = kStopWaitHintMs;
    return true;
  });
  if (!began) return;
  StopSequence(platform::kServiceControlStop);
  services_.clock.sleep(1000);
  services_.endProcess(1);
}

}  // namespace vorn
