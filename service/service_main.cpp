// ServiceMain and the control handler.
#include <memory>
#include <mutex>

#include "common/service_identity.h"
#include "platform/error.h"
#include "platform/service_dispatcher.h"
#include "platform/thread.h"
#include "service/print_service.h"

namespace vorn {

void PrintService::ServiceMain() {
  // Attached first: a shutdown signalled before the start is handled as soon
  // as the handler is registered, and its report must reach the manager.
  status_.attach();
  const auto handler = [this](std::uint32_t control) { ServiceControlHandler(control); };
  if (const std::uint32_t error = services_.dispatcher.registerControlHandler(kServiceName, handler)) {
    platform::setLastError(error);
    log_.ReportLastError("RegisterServiceCtrlHandler failed");
    return;
  }
  const bool reported = ReportServiceStatus([this](platform::ServiceStatus&) { return !stop_.begun(); });
  if (!reported || stop_.begun()) return;

  log_.ReportInfo("started", "");
  ServiceStartup();

  ReportServiceStatus([this](platform::ServiceStatus& status) {
    if (stop_.begun()) return false;
    status.dwCurrentState = platform::kServiceRunning;
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
    return true;
  });
}

void PrintService::ServiceControlHandler(std::uint32_t control) {
  switch (control) {
    case platform::kServiceControlStop:
    case platform::kServiceControlShutdown: {
      bool began = false;
      ReportServiceStatus([&](platform::ServiceStatus& status) {
        began = stop_.begin();
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
      if (platform::createThread([this, control] { StopSequence(control); }, thread)) {
        log_.ReportLastError("can't create shutdown thread");
        return;
      }
      std::lock_guard lock(shutdownLock_);
      shutdownThread_ = std::move(thread);
      return;
    }
    case platform::kServiceControlInterrogate:
      ReportServiceStatus();
      return;
    default:
      log_.ReportErrorCode("Unrecognized handler opcode", control);
      return;
  }
}

}  // namespace vorn
