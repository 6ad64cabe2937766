#include "service/stop_sequence.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/clock.h"
#include "platform/service_control.h"
#include "service/print_service.h"

namespace vorn {
namespace {

// The slots that hold a process: those in the wait list in its order, then
// those whose hand-over to the watchdog has not run, in slot order.
std::vector<int> slotsWithProcesses(PrintService& service) {
  std::vector<int> slots;
  for (std::size_t position = 0; position < service.waitList.count(); ++position)
    slots.push_back(service.waitList.slotAt(position));
  for (int slot = 0; slot < kSubserviceSlots; ++slot) {
    if (service.table[slot].process && !service.waitList.holdsSlot(slot)) slots.push_back(slot);
  }
  return slots;
}

void signalAgents(PrintService& service) {
  std::lock_guard lock(service.tableLock);
  service.stop.advance(STOP_SIGNALLED);
  for (const int slot : slotsWithProcesses(service)) {
    SubserviceEntry& entry = service.table[slot];
    // An agent that cannot be signalled is terminated after the grace period.
    if (entry.terminationEvent) static_cast<void>(entry.terminationEvent->set());
  }
  // No restart once the stop has begun.
  for (int slot = 0; slot < kSubserviceSlots; ++slot) {
    SubserviceEntry& entry = service.table[slot];
    if (entry.used() && entry.restartTimer) static_cast<void>(entry.restartTimer->cancel());
  }
}

void terminateAgents(PrintService& service) {
  {
    std::lock_guard lock(service.tableLock);
    service.stop.advance(STOP_TERMINATING);
  }
  EndWatchdog(service);

  std::lock_guard lock(service.tableLock);
  for (const int slot : slotsWithProcesses(service)) {
    SubserviceEntry& entry = service.table[slot];
    service.ReportServiceStatus([](platform::ServiceStatus& status) {
      ++status.dwCheckPoint;
      return true;
    });
    // One that ended by itself and is not reaped yet needs nothing.
    if (!platform::hasEnded(*entry.process)) {
      if (entry.process->terminate(0)) {
        service.log.ReportError("printer subservice terminated after the grace period. profile=", entry.profileName);
      } else {
        service.log.ReportLastError("could not terminate " + entry.profileName);
      }
    }
    entry.process.reset();
    entry.terminationEvent.reset();
    entry.processId = 0;
  }
  service.waitList.clear();
}

void fatalStop(PrintService& service, std::string_view message, std::uint32_t code, bool withCode) {
  if (withCode) {
    service.log.ReportErrorCode(message, code);
  } else {
    service.log.ReportError(message, "");
  }
  service.stop.markFatal();
  bool began = false;
  service.ReportServiceStatus([&](platform::ServiceStatus& status) {
    status.dwWin32ExitCode = code;
    began = service.stop.begin();
    if (!began) return false;  // the running sequence reports it
    status.dwCurrentState = platform::kServiceStopPending;
    status.dwCheckPoint = 0;
    status.dwWaitHint = kStopWaitHintMs;
    return true;
  });
  if (!began) return;
  StopSequence(service, platform::kServiceControlStop);
  service.services.clock.sleep(1000);
  service.services.endProcess(1);
}

}  // namespace

void StopSequence(PrintService& service, std::uint32_t control) {
  service.log.ReportInfo("shutting down", "");
  signalAgents(service);
  service.ReportServiceStatus([](platform::ServiceStatus& status) {
    ++status.dwCheckPoint;
    return true;
  });
  service.services.clock.sleep(kGracePeriodMs);
  // A system shutdown leaves the agents to the system.
  if (control != platform::kServiceControlShutdown) terminateAgents(service);
  service.ReportServiceStatus([](platform::ServiceStatus& status) {
    status.dwCurrentState = platform::kServiceStopped;
    return true;
  });
}

void FatalStop(PrintService& service, std::string_view message) { fatalStop(service, message, 1, false); }

void FatalStopLastError(PrintService& service, std::string_view message) {
  const std::uint32_t code = platform::lastError();
  fatalStop(service, message, code, true);
}

}  // namespace vorn
