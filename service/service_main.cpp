#include "service/service_main.h"

#include <memory>
#include <mutex>

#include "common/service_identity.h"
#include "platform/error.h"
#include "platform/service_dispatcher.h"
#include "platform/thread.h"
#include "service/print_service.h"
#include "service/service_startup.h"
#include "service/stop_sequence.h"

namespace vorn {

void ServiceMain(PrintService& service) {
  // Attached first: a shutdown signalled before the start is handled as soon
  // as the handler is registered, and its report must reach the manager.
  service.status.attach();
  const auto handler = [&service](std::uint32_t control) { ServiceControlHandler(service, control); };
  if (const std::uint32_t error = service.services.dispatcher.registerControlHandler(kServiceName, handler)) {
    platform::setLastError(error);
    service.log.ReportLastError("RegisterServiceCtrlHandler failed");
    return;
  }
  const bool reported =
      service.ReportServiceStatus([&service](platform::ServiceStatus&) { return !service.stop.begun(); });
  if (!reported || service.stop.begun()) return;

  service.log.ReportInfo("started", "");
  ServiceStartup(service);

  service.ReportServiceStatus([&service](platform::ServiceStatus& status) {
    if (service.stop.begun()) return false;
    status.dwCurrentState = platform::kServiceRunning;
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
    return true;
  });
}

void ServiceControlHandler(PrintService& service, std::uint32_t control) {
  switch (control) {
    case platform::kServiceControlStop:
    case platform::kServiceControlShutdown: {
      bool began = false;
      service.ReportServiceStatus([&](platform::ServiceStatus& status) {
        began = service.stop.begin();
        if (began) {
          status.dwWin32ExitCode = 0;
          status.dwCurrentState = platform::kServiceStopPending;
          status.dwCheckPoint = 0;
          status.dwWaitHint = kStopWaitHintMs;
        }
        return true;  // a later control reports the status again
      });
      if (!began) return;
      // The handler does not wait for the sequence. Only the first control
      // gets here, so there is one such thread.
      std::unique_ptr<platform::Thread> thread;
      if (platform::createThread([&service, control] { StopSequence(service, control); }, thread)) {
        service.log.ReportLastError("can't create shutdown thread");
        return;
      }
      std::lock_guard lock(service.tableLock);
      service.shutdownThread = std::move(thread);
      return;
    }
    case platform::kServiceControlInterrogate:
      service.ReportServiceStatus();
      return;
    default:
      service.log.ReportErrorCode("Unrecognized handler opcode", control);
      return;
  }
}

}  // namespace vorn
