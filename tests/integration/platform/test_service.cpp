// A small service program for the service control manager's tests. It reports
// start-pending, then running; on a stop or a shutdown it reports stop-pending
// and, 300 ms later, stopped. Interrogation reports the status again. It
// appends what reached it to test-service.log in the platform root:
// "control <code>" for each control and "run <result>" when the dispatcher
// returns (1063 when it was not started as a service); first of all, as a
// service, what it was started with: "spawned fds=0,1,2 session=own
// blocked=none ignored=none cwd=root" when all is as it should be.
#include "platform/process.h"
#include "platform/posix/root.h"
#include "platform/service_dispatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
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

// How the process was started, before anything of its own is opened.
std::string startState() {
  std::string fds;
  for (int fd = 0; fd < 1024; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) fds += (fds.empty() ? "" : ",") + std::to_string(fd);
  }
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  bool anyBlocked = false;
  bool anyIgnored = false;
  for (int signal = 1; signal < SIGRTMIN; ++signal) {
    struct sigaction action {};
    anyBlocked = anyBlocked || sigismember(&blocked, signal) == 1;
    anyIgnored = anyIgnored || (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN);
  }
  std::error_code error;
  const bool inRoot = std::filesystem::equivalent(std::filesystem::current_path(), platformRoot(), error);
  return "spawned fds=" + fds + " session=" + (::getsid(0) == ::getpid() ? "own" : "inherited") +
         " blocked=" + (anyBlocked ? "some" : "none") + " ignored=" + (anyIgnored ? "some" : "none") +
         " cwd=" + (inRoot ? "root" : "elsewhere");
}

// The service's status and its control handler. It lives in main's frame,
// which the process leaves only through exitProcess.
class TestService {
 public:
  explicit TestService(ServiceDispatcher& dispatcher) : dispatcher_(dispatcher) {}

  void report(std::uint32_t state) {
    std::lock_guard lock(mutex_);
    status_.dwCurrentState = state;
    if (!dispatcher_.setServiceStatus(status_)) log("report failed " + std::to_string(lastError()));
  }

  void handle(std::uint32_t control) {
    log("control " + std::to_string(control));
    if (control == kServiceControlStop || control == kServiceControlShutdown) {
      report(kServiceStopPending);
      std::thread([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        report(kServiceStopped);
      }).detach();
    } else if (control == kServiceControlInterrogate) {
      std::lock_guard lock(mutex_);
      dispatcher_.setServiceStatus(status_);
    }
  }

 private:
  ServiceDispatcher& dispatcher_;
  std::mutex mutex_;
  ServiceStatus status_{kServiceWin32OwnProcess, kServiceStartPending, kServiceAcceptStop | kServiceAcceptShutdown,
                        0, 0, 0, 3000};
};

}  // namespace

int main() {
  const std::string started = startState();
  ServiceDispatcher& dispatcher = systemServiceDispatcher();
  TestService service(dispatcher);
  const std::uint32_t result = dispatcher.run("VornTestService", [&](std::span<const std::string> arguments) {
    log(started);
    const auto handler = [&service](std::uint32_t control) { service.handle(control); };
    if (const std::uint32_t error = dispatcher.registerControlHandler(arguments[0], handler)) {
      log("register failed " + std::to_string(error));
      return;
    }
    service.report(kServiceStartPending);
    service.report(kServiceRunning);
  });
  log("run " + std::to_string(result));
  exitProcess(0);
}
