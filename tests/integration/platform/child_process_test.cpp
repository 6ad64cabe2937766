// Child processes started for real: what the child finds at its start, how
// program files are found, and that no ended child stays a zombie.
#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/posix/unique_fd.h"
#include "platform/wait.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::map<std::string, std::string> readReport(const fs::path& file) {
  std::map<std::string, std::string> report;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

std::unique_ptr<ProcessHandle> start(std::string_view commandLine, std::string_view folder = {}) {
  std::unique_ptr<ProcessHandle> process;
  ProcessStart what;
  what.commandLine = commandLine;
  what.currentDirectory = folder;
  EXPECT_EQ(createProcess(what, process), kErrorSuccess) << commandLine;
  return process;
}

std::uint32_t waitFor(ProcessHandle& process, std::uint32_t timeoutMs = 10000) {
  Waitable* objects[] = {&process};
  return waitForMultipleObjects(objects, timeoutMs, false);
}

// Whether `pid` is gone for good: neither running nor a zombie. WNOWAIT, so
// that this check never reaps the child itself.
bool reaped(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

// A /proc/<pid>/status signal mask without glibc's two internal signals (32
// and 33), which its posix_spawn leaves ignored and no program can handle.
std::uint64_t withoutGlibcInternalSignals(const std::string& mask) {
  constexpr std::uint64_t kInternal = std::uint64_t{3} << 31;
  return std::stoull(mask, nullptr, 16) & ~kInternal;
}

void writeScript(const fs::path& file, const std::string& body) {
  std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

TEST(CreateProcess, FindsItsOwnEventAtThreeNothingElseACleanSignalStateAndItsOwnSession) {
  for (const bool inheritable : {true, false}) {
    SCOPED_TRACE(inheritable ? "inheritable event" : "event not inheritable");
    test::TempRoot folder;
    std::unique_ptr<Event> event;
    ASSERT_EQ(createEvent(false, false, inheritable, event), kErrorSuccess);
    // What the child must not take over: a descriptor without close-on-exec,
    // an ignored signal and a blocked one.
    const posix::UniqueFd leaked(::open("/dev/null", O_RDONLY));
    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previousAction), 0);
    sigset_t blocked;
    sigset_t previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);

    constexpr char kEnvironment[] = "TerminateMutex=000000003\0PATH=/usr/bin:/bin\0";  // + the array's zero
    ProcessStart what;
    what.commandLine = "vorn_child_probe report.txt";
    what.environment = kEnvironment;
    const std::string folderText = folder.path().string();
    what.currentDirectory = folderText;
    what.creationFlags = kDetachedProcess;
    what.inheritedEvent = event.get();
    std::unique_ptr<ProcessHandle> process;
    const std::uint32_t created = createProcess(what, process);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previousAction, nullptr);
    ASSERT_EQ(created, kErrorSuccess);
    ASSERT_TRUE(event->setInheritable(false));
    ASSERT_TRUE(event->set());

    ASSERT_EQ(waitFor(*process), kWaitObject0);
    std::uint32_t code = 99;
    ASSERT_TRUE(process->exitCode(code));
    EXPECT_EQ(code, 0u);
    auto report = readReport(folder.path() / "report.txt");
    EXPECT_EQ(report["fds"], inheritable ? "0 1 2 3" : "0 1 2");
    EXPECT_EQ(report["event"], inheritable ? "signalled" : "none");
    EXPECT_EQ(report["sigblk"], "0000000000000000");
    EXPECT_EQ(withoutGlibcInternalSignals(report["sigign"]), 0u);
    EXPECT_EQ(report["session"], "own");
    EXPECT_EQ(fs::path(report["cwd"]), fs::canonical(folder.path()));
    EXPECT_EQ(report["variables"], "2");
    EXPECT_EQ(report["TerminateMutex"], "000000003");
    EXPECT_EQ(report["argument"], "report.txt");
  }
}

TEST(CreateProcess, TheWaitReapsAnEndedChildAndTellsItsExitCode) {
  for (const auto& [program, expected] : {std::pair{"true", 0u}, std::pair{"false", 1u}}) {
    auto process = start(program);
    ASSERT_TRUE(process);
    ASSERT_EQ(waitFor(*process), kWaitObject0) << program;
    EXPECT_TRUE(reaped(static_cast<pid_t>(process->processId()))) << program;
    std::uint32_t code = 99;
    ASSERT_TRUE(process->exitCode(code));
    EXPECT_EQ(code, expected) << program;
    EXPECT_EQ(waitFor(*process, 0), kWaitObject0) << "an ended process stays signalled";
  }
}

TEST(CreateProcess, ClosingTheHandleLeavesNoZombie) {
  // Closed while the child runs; it ends later.
  auto running = start("sleep 0.2");
  ASSERT_TRUE(running);
  const auto runningPid = static_cast<pid_t>(running->processId());
  running.reset();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!reaped(runningPid) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(reaped(runningPid));

  // Closed after the child ended, nobody having waited for it.
  auto ended = start("true");
  ASSERT_TRUE(ended);
  const auto endedPid = static_cast<pid_t>(ended->processId());
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(endedPid), &info, WEXITED | WNOWAIT), 0);
  ended.reset();
  EXPECT_TRUE(reaped(endedPid));
}

TEST(CreateProcess, TerminateEndsTheChildThroughItsHandle) {
  auto process = start("sleep 30");
  ASSERT_TRUE(process);
  std::uint32_t code = 0;
  ASSERT_TRUE(process->exitCode(code));
  EXPECT_EQ(code, kStillActive);
  ASSERT_TRUE(process->terminate(7));
  ASSERT_EQ(waitFor(*process, 5000), kWaitObject0);
  ASSERT_TRUE(process->exitCode(code));
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(process->terminate(7)) << "an ended process cannot be terminated";
  EXPECT_EQ(lastError(), kErrorAccessDenied);

  // Terminated and closed at once: closing waits for the end it caused.
  auto closedAtOnce = start("sleep 30");
  ASSERT_TRUE(closedAtOnce);
  const auto pid = static_cast<pid_t>(closedAtOnce->processId());
  ASSERT_TRUE(closedAtOnce->terminate(1));
  closedAtOnce.reset();
  EXPECT_TRUE(reaped(pid));
}

// Restores PATH and the current folder.
class SearchSetting {
 public:
  SearchSetting(const std::string& path, const fs::path& folder) : folder_(fs::current_path()) {
    if (const char* old = std::getenv("PATH")) path_ = old;
    ::setenv("PATH", path.c_str(), 1);
    fs::current_path(folder);
  }
  ~SearchSetting() {
    ::setenv("PATH", path_.c_str(), 1);
    fs::current_path(folder_);
  }

 private:
  std::string path_;
  fs::path folder_;
};

TEST(CreateProcess, ProgramsAreFoundInOurOwnFolderThenOnThePathNeverInTheCurrentFolder) {
  test::TempRoot root;
  const fs::path onPath = root.path() / "bin";
  const fs::path current = root.path() / "current";
  fs::create_directories(onPath);
  fs::create_directories(current);
  writeScript(onPath / "vorn_child_probe", "echo copy=path > \"$1\"");  // loses to our own folder
  writeScript(onPath / "vorn_path_program", "exit 5");
  writeScript(current / "vorn_current_program", "exit 6");
  // Empty and relative entries would name the current folder.
  const SearchSetting setting(":.:current:" + onPath.string() + ":", current);

  auto probe = start("vorn_child_probe report.txt", root.path().string());
  ASSERT_TRUE(probe);
  ASSERT_EQ(waitFor(*probe), kWaitObject0);
  const auto report = readReport(root.path() / "report.txt");
  EXPECT_TRUE(report.contains("fds")) << "the copy on the path ran";
  EXPECT_FALSE(report.contains("copy"));

  auto onPathProgram = start("vorn_path_program");
  ASSERT_TRUE(onPathProgram);
  ASSERT_EQ(waitFor(*onPathProgram), kWaitObject0);
  std::uint32_t code = 0;
  ASSERT_TRUE(onPathProgram->exitCode(code));
  EXPECT_EQ(code, 5u);

  const struct {
    std::string_view commandLine;
    std::string folder;
    std::uint32_t error;
  } failures[] = {
      {"vorn_current_program", "", kErrorFileNotFound},
      {"vorn_absent_program argument", "", kErrorFileNotFound},
      {"vorn_child_probe report.txt", (root.path() / "missing").string(), kErrorDirectory},
  };
  for (const auto& failure : failures) {
    std::unique_ptr<ProcessHandle> process;
    ProcessStart what;
    what.commandLine = failure.commandLine;
    what.currentDirectory = failure.folder;
    EXPECT_EQ(createProcess(what, process), failure.error) << failure.commandLine;
    EXPECT_EQ(lastError(), failure.error);
    EXPECT_FALSE(process);
  }
}

TEST(InheritedEvent, OnlyAnEventDescriptorOfThisProcessIsTaken) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const posix::UniqueFd readEnd(ends[0]);
  const posix::UniqueFd writeEnd(ends[1]);
  EXPECT_EQ(inheritedEvent(static_cast<std::uint32_t>(readEnd.get())), nullptr);
  EXPECT_EQ(inheritedEvent(999999), nullptr);
  EXPECT_EQ(inheritedEvent(0x80000003u), nullptr);
  EXPECT_EQ(::fcntl(readEnd.get(), F_GETFD), FD_CLOEXEC) << "a rejected descriptor is left alone";
}

}  // namespace
}  // namespace vorn::platform
