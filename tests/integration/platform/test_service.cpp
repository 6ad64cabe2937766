// A small service program for the service control manager's tests. It reports
// start-pending, then running; on a stop or a shutdown it reports stop-pending
// and, 300 ms later, stopped. Interrogation reports the status again. It
// appends what reached it to test-service.log in the platform root:
// "control <code>" for each control and "run <result>" when the dispatcher
// returns (1063 when it was not started as a service).
#include "platform/process.h"
#include "platform/root.h"
#include "platform/service_dispatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace vorn::platform;

void log(const std::string& line) {
  const std::string text = line + "\n";
  const int fd = ::open((platformRoot() / "test-service.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  static_cast<void>(::write(fd, text.data(), text.size()));
  ::close(fd);
}

std::mutex statusLock;
ServiceStatus status{kServiceWin32OwnProcess, kServiceStartPending, kServiceAcceptStop | kServiceAcceptShutdown, 0, 0, 0, 3000};

void report(std::uint32_t state) {
  std::lock_guard lock(statusLock);
  status.dwCurrentState = state;
  if (!systemServiceDispatcher().setServiceStatus(status)) log("report failed " + std::to_string(lastError()));
}

void handle(std::uint32_t control) {
  log("control " + std::to_string(control));
  if (control == kServiceControlStop || control == kServiceControlShutdown) {
    report(kServiceStopPending);
    std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      report(kServiceStopped);
    }).detach();
  } else if (control == kServiceControlInterrogate) {
    std::lock_guard lock(statusLock);
    systemServiceDispatcher().setServiceStatus(status);
  }
}

}  // namespace

int main() {
  ServiceDispatcher& dispatcher = systemServiceDispatcher();
  const std::uint32_t result = dispatcher.run("VornTestService", [&](std::span<const std::string> arguments) {
    if (const std::uint32_t error = dispatcher.registerControlHandler(arguments[0], handle)) {
      log("register failed " + std::to_string(error));
      return;
    }
    report(kServiceStartPending);
    report(kServiceRunning);
  });
  log("run " + std::to_string(result));
  exitProcess(0);
}
