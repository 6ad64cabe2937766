#include "service/service_status.h"

#include <mutex>

#include "platform/error.h"
#include "platform/service_dispatcher.h"

namespace vorn {

ServiceStatus::ServiceStatus(platform::ServiceDispatcher& dispatcher) : dispatcher_(dispatcher) {
  status_.dwServiceType = platform::kServiceWin32OwnProcess;
  status_.dwCurrentState = platform::kServiceStartPending;
  status_.dwControlsAccepted = platform::kServiceAcceptStop | platform::kServiceAcceptShutdown;
  status_.dwWaitHint = kStartWaitHintMs;
}

void ServiceStatus::attach() {
  std::lock_guard guard(lock_);
  attached_ = true;
}

ServiceStatus::Outcome ServiceStatus::update(const Change& change) {
  std::lock_guard guard(lock_);
  if (!change(status_) || !attached_) return {};
  if (dispatcher_.setServiceStatus(status_)) return {};
  return {true, platform::lastError()};
}

}  // namespace vorn
