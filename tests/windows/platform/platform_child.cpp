// A program the Windows platform tests start as a child process or as a
// service:
//   platform_child signal     sets the event named by VORN_EVENT, exit 0 (2: no such event)
//   platform_child tail       exit 0 when its command line tail is VORN_EXPECTED_TAIL, else 1
//   platform_child folder     exit 0 when its current folder is VORN_EXPECTED_FOLDER, else 1
//   platform_child sleep      waits for ever
//   platform_child service N  runs as the service N until it is stopped;
//                             from a console it exits with the dispatcher's failure code
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "platform/process.h"
#include "platform/service_dispatcher.h"
#include "platform/wait.h"

namespace {

using namespace vorn::platform;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

int signalEvent() {
  const auto event = inheritedEvent(static_cast<std::uint32_t>(std::stoul(environment("VORN_EVENT"))));
  return event != nullptr && event->set() ? 0 : 2;
}

// Reports running, then stopped when a stop arrives.
int runService(const std::string& name) {
  ServiceDispatcher& dispatcher = systemServiceDispatcher();
  std::unique_ptr<Event> stop;
  createEvent(true, false, false, stop);
  const std::uint32_t result = dispatcher.run(name, [&](std::span<const std::string>) {
    dispatcher.registerControlHandler(name, [&](std::uint32_t control) {
      if (control == kServiceControlStop) {
        dispatcher.setServiceStatus({kServiceWin32OwnProcess, kServiceStopPending, 0, 0, 0, 1, 3000});
        stop->set();
      }
    });
    dispatcher.setServiceStatus({kServiceWin32OwnProcess, kServiceRunning, kServiceAcceptStop, 0, 0, 0, 0});
    Waitable* objects[] = {stop.get()};
    waitForMultipleObjects(objects, kInfinite, false);
    dispatcher.setServiceStatus({kServiceWin32OwnProcess, kServiceStopped, 0, 0, 0, 0, 0});
  });
  return static_cast<int>(result);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "signal") return signalEvent();
  if (mode == "tail") return commandLineTail(argc, argv) == environment("VORN_EXPECTED_TAIL") ? 0 : 1;
  if (mode == "folder") {
    return std::filesystem::equivalent(std::filesystem::current_path(), environment("VORN_EXPECTED_FOLDER")) ? 0 : 1;
  }
  if (mode == "sleep") return static_cast<int>(sleepEx(kInfinite, false));
  if (mode == "service") return runService(argc > 2 ? argv[2] : "");
  return 100;
}
