// The print service: its status and stop, its control handler, its start-up
// and stop order, and the control pipe. The agents are its supervisor's
// (agent_supervisor.h). The program's top level owns the one object.
//
// print_service.cpp: the status report; service_main.cpp: ServiceMain and
// the control handler; service_startup.cpp: the start-up;
// stop_sequence.cpp: the stop sequence and the fatal stops.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/lock.h"
#include "platform/thread.h"
#include "service/agent_supervisor.h"
#include "service/pipe_requests.h"
#include "service/pipe_server.h"
#include "service/service_event_log.h"
#include "service/service_services.h"
#include "service/service_status.h"
#include "service/stop_state.h"

namespace vorn {

// The agents' grace period.
inline constexpr std::uint32_t kGracePeriodMs = 10000;

class PrintService {
 public:
  explicit PrintService(ServiceServices platformServices);
  PrintService(const PrintService&) = delete;
  PrintService& operator=(const PrintService&) = delete;

  // Registers the control handler, reports the start, runs the start-up and
  // reports the service running, unless a stop has begun meanwhile.
  void ServiceMain();

  // Stop and shutdown start the one stop sequence on a thread of its own (a
  // later one only reports the status again); interrogation reports the
  // status; any other control is written as an event.
  void ServiceControlHandler(std::uint32_t control);

  // ReportServiceStatus with what a refusal leads to: the fatal stop "error
  // calling SetServiceStatus", or, once a stop has begun, only its event.
  // false when the report was refused.
  bool ReportServiceStatus(const ServiceStatus::Change& change);
  bool ReportServiceStatus();

  // Runs the stop sequence for `control` (a stop, or a shutdown, which
  // leaves the agents to the system): signal every agent, give them the
  // grace period, terminate those that remain, report the service stopped.
  // The caller has claimed the stop (StopState::begin).
  void StopSequence(std::uint32_t control);

  // Fatal stops: the event, the code as the service's exit code, the stop
  // sequence, then the end of the process with exit code 1. When a stop is
  // already under way, only the event and the exit code are recorded and the
  // call returns: the running sequence finishes and the process ends with 1.
  // Never with the table lock held.
  void FatalStop(std::string_view message);           // code 1, empty detail
  void FatalStopLastError(std::string_view message);  // the last error

  // The process's exit code once the service has stopped.
  std::uint32_t exitCode() const { return stop_.fatal() ? 1 : 0; }

  ServiceEventLog& log() { return log_; }
  AgentSupervisor& agents() { return agents_; }
  const StopState& stopState() const { return stop_; }
  // The thread that runs the stop sequence of a stop or shutdown control;
  // none before one came.
  platform::Thread* shutdownThread();

 private:
  // The watchdog and the control pipe, then one agent for every active
  // printer profile in the registry, with a pause of one second per profile.
  void ServiceStartup();
  // A fatal stop once its event is written: `code` as the service's exit
  // code, the stop sequence unless one runs, the end of the process.
  void stopWithExitCode(std::uint32_t code);

  ServiceServices services_;
  ServiceEventLog log_;
  ServiceStatus status_;
  StopState stop_;
  AgentSupervisor agents_;
  // The control pipe; its threads reach the agents through this.
  PipeRequestContext pipeRequests_{agents_, services_.registry};
  PipeServer pipe_{pipeRequests_, log_, services_.clock};
  platform::CriticalSection shutdownLock_;
  std::unique_ptr<platform::Thread> shutdownThread_;
};

}  // namespace vorn
