#include "service/print_service.h"

#include <utility>

#include "platform/error.h"
#include "service/stop_sequence.h"

namespace vorn {

PrintService::PrintService(ServiceServices platformServices)
    : services(std::move(platformServices)), log(services.eventLog), status(services.dispatcher) {}

bool PrintService::ReportServiceStatus(const ServiceStatus::Change& change) {
  const ServiceStatus::Outcome outcome = status.ReportServiceStatus(change);
  if (!outcome.refused) return true;
  platform::setLastError(outcome.error);
  // A stop under way reports on to its end: a refusal must not start another.
  if (stop.begun()) {
    log.ReportLastError("error calling SetServiceStatus");
  } else {
    FatalStopLastError(*this, "error calling SetServiceStatus");
  }
  return false;
}

bool PrintService::ReportServiceStatus() {
  return ReportServiceStatus([](platform::ServiceStatus&) { return true; });
}

}  // namespace vorn
