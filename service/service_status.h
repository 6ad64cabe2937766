// The service's one status record and its report to the service control
// manager. Every change is made and reported as one step under the record's
// lock, so that a stop that has begun can never be overwritten by a start-up
// report made on another thread.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/lock.h"
#include "platform/service_control.h"

namespace vorn::platform {
class ServiceDispatcher;
}

namespace vorn {

inline constexpr std::uint32_t kStartWaitHintMs = 20000;
inline constexpr std::uint32_t kStopWaitHintMs = 10000;

class ServiceStatus {
 public:
  // Own process, start pending, stop and shutdown accepted, wait hint 20 s.
  explicit ServiceStatus(platform::ServiceDispatcher& dispatcher);

  // The control handler is registered: reports reach the manager from now
  // on (before, a report does nothing).
  void attach();

  // What a report came to: 0, or the code with which the manager refused it.
  struct Outcome {
    bool refused = false;
    std::uint32_t error = 0;
  };

  // Applies `change` to the record and, when it returns true, reports the
  // record (SetServiceStatus); false: nothing is reported.
  using Change = std::function<bool(platform::ServiceStatus& status)>;
  Outcome update(const Change& change);

 private:
  platform::ServiceDispatcher& dispatcher_;
  platform::CriticalSection lock_;
  bool attached_ = false;
  platform::ServiceStatus status_;
};

}  // namespace vorn
