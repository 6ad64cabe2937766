#include "service/print_service.h"

#include <mutex>
#include <utility>

#include "platform/error.h"

namespace vorn {

PrintService::PrintService(ServiceServices platformServices)
    : services_(std::move(platformServices)),
      log_(services_.eventLog),
      status_(services_.dispatcher),
      agents_(stop_, log_, services_.clock, [this] { FatalStop("QueueUserAPC failed"); }) {}

bool PrintService::ReportServiceStatus(const ServiceStatus::Change& change) {
  const ServiceStatus::Outcome outcome = status_.update(change);
  if (!outcome.refused) return true;
  platform::setLastError(outcome.error);
  // A stop under way reports on to its end: a refusal must not start another.
  if (stop_.begun()) {
    log_.ReportLastError("error calling SetServiceStatus");
  } else {
    FatalStopLastError("error calling SetServiceStatus");
  }
  return false;
}

bool PrintService::ReportServiceStatus() {
  return ReportServiceStatus([](platform::ServiceStatus&) { return true; });
}

platform::Thread* PrintService::shutdownThread() {
  std::lock_guard lock(shutdownLock_);
  return shutdownThread_.get();
}

}  // namespace vorn
