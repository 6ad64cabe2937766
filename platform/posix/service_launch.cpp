#include "platform/posix/service_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/control_channel.h"
#include "platform/posix/host_path.h"
#include "platform/posix/root.h"
#include "platform/posix/seqpacket.h"

extern char** environ;

namespace vorn::platform::posix {
namespace {

constexpr std::uint32_t kStartTimeoutMs = 30000;
constexpr std::string_view kServiceVariable = "VORNPRINT_SERVICE=";

// posix_spawn's two attribute objects, destroyed with their owner.
class SpawnActions {
 public:
  SpawnActions() { valid_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnActions() {
    if (valid_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  bool valid() const { return valid_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool valid_ = false;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { valid_ = ::posix_spawnattr_init(&attributes_) == 0; }
  ~SpawnAttributes() {
    if (valid_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  bool valid() const { return valid_; }
  posix_spawnattr_t* get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_{};
  bool valid_ = false;
};

// This process's environment with VORNPRINT_SERVICE set to the service.
std::vector<std::string> serviceEnvironment(const std::string& serviceName) {
  std::vector<std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with(kServiceVariable)) variables.emplace_back(*entry);
  }
  variables.push_back(std::string(kServiceVariable) + utf8FromAnsi(serviceName));
  return variables;
}

std::uint32_t spawnDetached(const std::string& program, const std::string& folder, const std::vector<std::string>& environment,
                            pid_t& pid) {
  SpawnActions actions;
  SpawnAttributes attributes;
  if (!actions.valid() || !attributes.valid()) return kErrorNotEnoughMemory;
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  int error = ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  if (error == 0) error = ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
  if (error == 0) error = ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
  if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
  if (error == 0) error = ::posix_spawn_file_actions_addchdir_np(actions.get(), folder.c_str());
  if (error == 0) error = ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (error == 0) error = ::posix_spawnattr_setsigmask(attributes.get(), &none);
  if (error == 0) error = ::posix_spawnattr_setsigdefault(attributes.get(), &all);
  if (error != 0) return win32FromErrno(error);

  std::vector<char*> envp;
  for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);
  std::string argv0 = program;
  char* argv[] = {argv0.data(), nullptr};
  error = ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv, envp.data());
  return error == 0 ? kErrorSuccess : win32FromErrno(error);
}

// True once the child has ended (and is reaped).
bool childEnded(pid_t pid) {
  int status = 0;
  pid_t reaped;
  do {
    reaped = ::waitpid(pid, &status, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped == pid) return true;
  // ECHILD: someone else reaps this process's children (SIGCHLD ignored).
  return reaped < 0 && !processStartTime(pid);
}

// The service outlives this call but is still our child: a thread reaps it
// when it ends, so no zombie stays behind in a long-lived caller.
void reapWhenEnded(pid_t pid) {
  try {
    std::thread([pid] {
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the ended service stays a zombie until we end.
  }
}

}  // namespace

std::uint32_t launchService(const ServiceFolder& folder, const ServiceRegistration& registration) {
  std::error_code ignored;
  const std::filesystem::path program = std::filesystem::absolute(hostPath(registration.imagePath), ignored);
  SocketFile control;
  if (const std::uint32_t error = SocketFile::open(folder.path(), kControlSocketName, control)) return error;

  pid_t pid = 0;
  if (const std::uint32_t error = spawnDetached(program.native(), platformRoot().native(), serviceEnvironment(folder.name()), pid)) {
    return error;
  }
  RecordedStatus pending;
  pending.status = ServiceStatus{registration.serviceType, kServiceStartPending, 0, 0, 0, 0, 0};
  pending.pid = pid;
  pending.startTime = processStartTime(pid).value_or(0);
  // The service may have reported already; its own report is newer. A status
  // that cannot be written reads as stopped until the service reports, and
  // the start goes on: the program runs.
  static_cast<void>(folder.writeStatus(pending, pid));
  // For a system manager that supervises the service (systemd's PIDFile=);
  // the status record names the process all the same.
  static_cast<void>(folder.writePidFile(pid));

  const Deadline deadline = deadlineAfter(kStartTimeoutMs);
  for (;;) {
    if (childEnded(pid)) {
      // A start that failed is no run that ended without stopping.
      RecordedStatus last;
      if (folder.readStatus(last) == kErrorSuccess && last.pid == pid && last.status.dwCurrentState != kServiceStopped) {
        last.status.dwCurrentState = kServiceStopped;
        static_cast<void>(folder.writeStatus(last));
      }
      return kErrorServiceRequestTimeout;
    }
    UniqueFd probe;
    if (control.connect(probe) == kErrorSuccess) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      reapWhenEnded(pid);
      return kErrorServiceRequestTimeout;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reapWhenEnded(pid);
  return kErrorSuccess;
}

}  // namespace vorn::platform::posix
