// spoolcmd: installs, uninstalls, starts and stops the print service, and
// lists, starts and ends its agents.
//   spoolcmd help | --version | create | delete | start | stop | show | run /profile=name | kill /profile=name
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/service_identity.h"
#include "common/version.h"
#include "control/command_line.h"
#include "control/console.h"
#include "control/pipe_commands.h"
#include "control/service_commands.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/service_control.h"

int main(int argc, char** argv) {
  using namespace vorn;

  const std::vector<std::string> arguments = platform::commandArguments(argc, argv);
  const auto parsed = ParseCommandLine(arguments);
  if (const auto* refused = std::get_if<CommandLineError>(&parsed)) ExitWithError(refused->message);
  const Command& command = std::get<Command>(parsed);
  if (command.word == CommandWord::Help) {
    platform::writeStandardOutput(kHelpText);
    platform::exitProcess(0);
  }
  if (command.word == CommandWord::Version) {
    platform::writeStandardOutput(VersionLine("spoolcmd"));
    platform::exitProcess(0);
  }

  // The manager's handle is left to the end of the process.
  std::unique_ptr<platform::ServiceManager> manager;
  if (const std::uint32_t error = platform::openServiceManager(platform::kScManagerAllAccess, manager)) {
    platform::setLastError(error);
    ExitWithSystemError("Could not open Service Control Manager");
  }

  // "  ok" follows every command but show, unless a run or kill was refused.
  bool ok = true;
  if (command.word == CommandWord::Create) {
    CreatePrintService(*manager);
  } else {
    std::unique_ptr<platform::ServiceHandle> service;
    if (const std::uint32_t error = manager->openService(kServiceName, platform::kServiceAllAccess, service)) {
      platform::setLastError(error);
      ExitWithSystemError("could not open service handle");
    }
    platform::Clock& clock = platform::systemClock();
    switch (command.word) {
      case CommandWord::Start:
        if (const std::uint32_t error = service->start()) {
          platform::setLastError(error);
          ExitWithSystemError("failed to start service");
        }
        break;
      case CommandWord::Stop:
        StopServiceAndWait(*service, clock, false);
        break;
      case CommandWord::Show:
        ShowAgents();
        break;
      case CommandWord::Delete:
        StopServiceAndWait(*service, clock, true);
        if (const std::uint32_t error = service->remove()) {
          platform::setLastError(error);
          ExitWithSystemError("could not delete service");
        }
        break;
      case CommandWord::Run:
        ok = RunProfile(command.profileName).succeeded;
        break;
      case CommandWord::Kill:
        ok = KillProfile(command.profileName).succeeded;
        break;
      default:
        break;
    }
    service.reset();
  }
  if (command.word != CommandWord::Show && ok) platform::writeStandardOutput("  ok\n");
  platform::exitProcess(0);
}
