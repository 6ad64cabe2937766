#include "service/agent_launcher.h"

#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/service_identity.h"
#include "platform/child_process.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/process_security.h"
#include "service/environment_block.h"
#include "service/service_event_log.h"
#include "service/subservice_table.h"

namespace vorn {
namespace {

// The service's environment in a block of its own size; false when it does
// not fit (or no memory is left for it).
bool copyServiceEnvironment(std::vector<char>& block) {
  try {
    return CopyEnvironmentBlock(platform::environmentStrings(), block);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

LaunchOutcome AbandonLaunch(SubserviceEntry& entry, std::uint32_t error, bool handOverFailed) {
  if (entry.process) static_cast<void>(entry.process->terminate(0));
  entry.process.reset();
  entry.terminationEvent.reset();
  entry.processId = 0;
  entry.status = SUBSERVICE_START_FAILED;
  platform::setLastError(error);
  return {0, handOverFailed};
}

std::uint32_t StartAgentProcess(SubserviceEntry& entry, ServiceEventLog& log) {
  std::vector<char> environment;
  const bool copied = copyServiceEnvironment(environment);
  entry.status = SUBSERVICE_RUNNING;
  if (!copied) return platform::kErrorBadEnvironment;

  std::unique_ptr<platform::Event> event;
  if (const std::uint32_t error = platform::createEvent(false, false, true, event)) return error;
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%09u", event->inheritedHandleValue());
  if (const int placed = SetEnvironmentBlockVariable(environment, kTerminateMutexVariable, digits.data()); placed != 0)
    return placed == -2 ? platform::kErrorNotEnoughMemory : platform::kErrorBadEnvironment;

  const std::string commandLine = agentProgramFileName() + " /profile=\"" + entry.profileName + "\"";
  platform::ProcessStart start;
  start.commandLine = commandLine;
  start.environment = environment;
  start.creationFlags = platform::kDetachedProcess;
  start.inheritedEvent = event.get();
  // Agents never outlive their service.
  start.endWithThisProcess = true;
  if (const std::uint32_t error = platform::createProcess(start, entry.process)) return error;
  entry.processId = entry.process->processId();
  // Agents started later must not inherit this agent's event.
  if (!event->setInheritable(false)) return platform::lastError();
  entry.terminationEvent = std::move(event);

  if (const std::uint32_t status = platform::grantProcessReadAccess(*entry.process, "Power Users"))
    log.ReportErrorCode("couldn't get process security info", status);
  return platform::kErrorSuccess;
}

}  // namespace vorn
