// Runs programs for end-to-end tests. Output goes to memory files rather than
// pipes, so a chatty program never blocks on a test that is not reading.
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>

extern char** environ;

namespace vorn::test {
namespace {

using platform::posix::UniqueFd;

UniqueFd memoryFile(const char* name) {
  UniqueFd fd(::memfd_create(name, MFD_CLOEXEC));
  if (!fd) throw std::system_error(errno, std::generic_category(), "memfd_create");
  return fd;
}

std::string contents(const UniqueFd& fd) {
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw std::system_error(errno, std::generic_category(), "fstat");
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::pread(fd.get(), text.data() + got, text.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::system_error(errno, std::generic_category(), "pread");
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return text;
}

// posix_spawn's objects, released on every path.
struct SpawnActions {
  posix_spawn_file_actions_t actions{};
  SpawnActions() {
    if (const int error = ::posix_spawn_file_actions_init(&actions); error != 0)
      throw std::system_error(error, std::generic_category(), "posix_spawn_file_actions_init");
  }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
};

}  // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                           const std::vector<std::pair<std::string, std::string>>& extraEnv)
    : out_(memoryFile("stdout")), err_(memoryFile("stderr")) {
  SpawnActions spawn;
  auto check = [](int error, const char* what) {
    if (error != 0) throw std::system_error(error, std::generic_category(), what);
  };
  check(::posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0), "addopen");
  check(::posix_spawn_file_actions_adddup2(&spawn.actions, out_.get(), 1), "adddup2");
  check(::posix_spawn_file_actions_adddup2(&spawn.actions, err_.get(), 2), "adddup2");

  // The current environment with the extra variables put in.
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    variables[std::string(text.substr(0, equals))] = std::string(text.substr(equals + 1));
  }
  for (const auto& [name, value] : extraEnv) variables[name] = value;
  std::vector<std::string> envStrings;
  for (const auto& [name, value] : variables) envStrings.push_back(name + '=' + value);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::string programText = program.string();
  std::vector<std::string> argStrings = args;
  std::vector<char*> argv{programText.data()};
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  check(::posix_spawn(&pid_, programText.c_str(), &spawn.actions, nullptr, argv.data(), envp.data()),
        "posix_spawn");
}

ChildProcess::~ChildProcess() {
  if (finished_ || pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

void ChildProcess::signal(int signalNumber) {
  if (!finished_) ::kill(pid_, signalNumber);
}

bool ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!finished_) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
    if (done == pid_) {
      finished_ = true;
      if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string ChildProcess::standardOutput() const { return contents(out_); }
std::string ChildProcess::standardError() const { return contents(err_); }

ProgramResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& extraEnv,
                         std::chrono::milliseconds timeout) {
  ChildProcess child(program, args, extraEnv);
  ProgramResult result;
  if (!child.wait(timeout)) {
    result.timedOut = true;
    child.signal(SIGKILL);
    child.wait(std::chrono::seconds(10));
  }
  result.exitCode = child.exitCode();
  result.termSignal = child.termSignal();
  result.standardOutput = child.standardOutput();
  result.standardError = child.standardError();
  return result;
}

}  // namespace vorn::test
