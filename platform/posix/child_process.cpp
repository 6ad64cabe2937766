// Process creation on POSIX: posix_spawn with a clean signal state, the one
// inherited event at descriptor 3 and nothing else beyond 0 to 2, and a
// pidfd as the process handle.
#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/event_state.h"
#include "platform/posix/host_path.h"
#include "platform/posix/pidfd.h"
#include "platform/posix/process_handle.h"
#include "platform/posix/program_search.h"

extern char** environ;

namespace vorn::platform {
namespace {

// Where the child finds its inherited event.
constexpr int kInheritedDescriptor = 3;

std::uint32_t failed(std::uint32_t error) {
  setLastError(error);
  return error;
}

// posix_spawn's objects, released on every path.
struct SpawnActions {
  posix_spawn_file_actions_t actions{};
  int error = ::posix_spawn_file_actions_init(&actions);
  SpawnActions() = default;
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() {
    if (error == 0) ::posix_spawn_file_actions_destroy(&actions);
  }
};

struct SpawnAttributes {
  posix_spawnattr_t attributes{};
  int error = ::posix_spawnattr_init(&attributes);
  SpawnAttributes() = default;
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  ~SpawnAttributes() {
    if (error == 0) ::posix_spawnattr_destroy(&attributes);
  }
};

// The strings of an environment block ("NAME=value\0 … \0"), copied, and the
// pointers into the copy that posix_spawn takes. false when the block does
// not end in its extra zero.
bool splitEnvironment(std::span<const char> block, std::vector<char>& copy, std::vector<char*>& strings) {
  copy.assign(block.begin(), block.end());
  std::size_t position = 0;
  while (position < copy.size() && copy[position] != '\0') {
    const auto end = std::find(copy.begin() + static_cast<std::ptrdiff_t>(position), copy.end(), '\0');
    if (end == copy.end()) return false;
    strings.push_back(copy.data() + position);
    position = static_cast<std::size_t>(end - copy.begin()) + 1;
  }
  if (position >= copy.size()) return false;
  strings.push_back(nullptr);
  return true;
}

// The empty signal mask, every signal at its default disposition, a new
// session for a detached process.
int setSignalsAndSession(posix_spawnattr_t& attributes, bool detached) {
  sigset_t none;
  sigset_t all;
  ::sigemptyset(&none);
  ::sigfillset(&all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (detached) flags |= POSIX_SPAWN_SETSID;
  if (const int error = ::posix_spawnattr_setsigmask(&attributes, &none); error != 0) return error;
  if (const int error = ::posix_spawnattr_setsigdefault(&attributes, &all); error != 0) return error;
  return ::posix_spawnattr_setflags(&attributes, flags);
}

}  // namespace

std::uint32_t createProcess(const ProcessStart& start, std::unique_ptr<ProcessHandle>& process) {
  process.reset();

  // The command line split at its first blank: the program, then one argument.
  const auto blank = start.commandLine.find(' ');
  std::string program = utf8FromAnsi(start.commandLine.substr(0, blank));
  std::string argument = blank == std::string_view::npos ? std::string{} : utf8FromAnsi(start.commandLine.substr(blank + 1));
  const std::string path = posix::findProgram(program);
  if (path.empty()) return failed(kErrorFileNotFound);
  std::vector<char*> argv{program.data()};
  if (!argument.empty()) argv.push_back(argument.data());
  argv.push_back(nullptr);

  std::vector<char> environmentCopy;
  std::vector<char*> environment;
  if (!start.environment.empty() && !splitEnvironment(start.environment, environmentCopy, environment))
    return failed(kErrorInvalidParameter);

  std::string directory;
  if (!start.currentDirectory.empty()) {
    directory = posix::hostPath(start.currentDirectory);
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return failed(kErrorDirectory);
  }

  SpawnAttributes attributes;
  SpawnActions actions;
  if (attributes.error != 0) return failed(win32FromErrno(attributes.error));
  if (actions.error != 0) return failed(win32FromErrno(actions.error));
  if (const int error = setSignalsAndSession(attributes.attributes, (start.creationFlags & kDetachedProcess) != 0);
      error != 0)
    return failed(win32FromErrno(error));
  if (!directory.empty()) {
    if (const int error = ::posix_spawn_file_actions_addchdir_np(&actions.actions, directory.c_str()); error != 0)
      return failed(win32FromErrno(error));
  }

  // The inherited event at 3, then every descriptor above the ones the child
  // is meant to have closed. The event's state is held until the spawn is done.
  std::shared_ptr<posix::EventState> event;
  posix::UniqueFd eventCopy;
  int firstClosed = kInheritedDescriptor;
  if (start.inheritedEvent != nullptr) {
    event = posix::eventStateOf(*start.inheritedEvent);
    if (!event) return failed(kErrorInvalidHandle);
  }
  if (event && event->inheritable()) {
    int source = event->descriptor();
    if (source == kInheritedDescriptor) {
      // dup2 onto itself would leave it closed on exec.
      eventCopy.reset(::fcntl(source, F_DUPFD_CLOEXEC, kInheritedDescriptor + 1));
      if (!eventCopy) return setLastErrorFromErrno();
      source = eventCopy.get();
    }
    if (const int error = ::posix_spawn_file_actions_adddup2(&actions.actions, source, kInheritedDescriptor); error != 0)
      return failed(win32FromErrno(error));
    firstClosed = kInheritedDescriptor + 1;
  }
  if (const int error = ::posix_spawn_file_actions_addclosefrom_np(&actions.actions, firstClosed); error != 0)
    return failed(win32FromErrno(error));

  pid_t pid = 0;
  if (const int error = ::posix_spawn(&pid, path.c_str(), &actions.actions, &attributes.attributes, argv.data(),
                                      start.environment.empty() ? environ : environment.data());
      error != 0)
    return failed(win32FromErrno(error));

  posix::UniqueFd pidfd(::pidfd_open(pid, 0));
  if (!pidfd) {
    // Without a handle the child cannot be watched: end it. Until it is
    // reaped its pid cannot be reused, so the kill by pid is safe here.
    const std::uint32_t error = win32FromErrno(errno);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return failed(error);
  }
  process = posix::makeProcessHandle(pid, std::move(pidfd));
  return kErrorSuccess;
}

}  // namespace vorn::platform
