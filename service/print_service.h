// The print service's process-wide state: the status, the stop state, the
// table of agents with its lock, the watchdog's wait list and thread. The
// program's top level owns the one object; every operation of the service
// takes it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/lock.h"
#include "platform/thread.h"
#include "service/service_event_log.h"
#include "service/service_services.h"
#include "service/service_status.h"
#include "service/stop_state.h"
#include "service/subservice_table.h"
#include "service/watchdog.h"

namespace vorn {

class PrintService {
 public:
  explicit PrintService(ServiceServices platformServices);
  PrintService(const PrintService&) = delete;
  PrintService& operator=(const PrintService&) = delete;

  // ReportServiceStatus with what a refusal leads to: the fatal stop "error
  // calling SetServiceStatus", or, once a stop has begun, only its event.
  // false when the report was refused.
  bool ReportServiceStatus(const ServiceStatus::Change& change);
  bool ReportServiceStatus();

  // The process's exit code once the service has stopped.
  std::uint32_t exitCode() const { return stop.fatal() ? 1 : 0; }

  ServiceServices services;
  ServiceEventLog log;
  ServiceStatus status;
  StopState stop;
  // TableLock: guards the table, the wait list, the threads' handles and
  // changes of the stop state. Every agent start happens with it held. No
  // fatal stop is raised while it is held.
  platform::CriticalSection tableLock;
  SubserviceTable table;
  WaitList waitList;
  WatchdogHandle watchdog;
  // The thread that runs the stop sequence of a stop or shutdown control.
  std::unique_ptr<platform::Thread> shutdownThread;
};

}  // namespace vorn
