// Child processes started for real: what the child finds at its start, how
// program files are found, and that no ended child stays a zombie.
#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
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

// The probe's report: its key=value lines.
std::map<std::string, std::string> readReport(const fs::path& file) {
  std::map<std::string, std::string> report;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (const auto equals = line.find('='); equals != std::string::npos)
      report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

std::uint32_t start(std::string_view commandLine, std::unique_ptr<ProcessHandle>& process,
                    const std::string& folder = {}) {
  ProcessStart what;
  what.commandLine = commandLine;
  what.currentDirectory = folder;
  return createProcess(what, process);
}

// The exit code once the process has ended (the wait reaps it), or -1.
std::int64_t endOf(ProcessHandle& process) {
  Waitable* objects[] = {&process};
  std::uint32_t code = 0;
  if (waitForMultipleObjects(objects, 10000, false) != kWaitObject0 || !process.exitCode(code)) return -1;
  return code;
}

// Whether `pid` is gone for good, neither running nor a zombie (WNOWAIT:
// this check never reaps the child itself).
bool reaped(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

TEST(CreateProcess, ChildFindsItsEventAtThreeNothingElseACleanSignalStateAndItsOwnSession) {
  for (const bool inheritable : {true, false}) {
    SCOPED_TRACE(inheritable ? "inheritable event" : "event not inheritable");
    test::TempRoot folder;
    std::unique_ptr<Event> event;
    ASSERT_EQ(createEvent(false, false, inheritable, event), kErrorSuccess);
    // Not to be passed on: a descriptor without close-on-exec, an ignored
    // signal and a blocked one.
    const posix::UniqueFd leaked(::open("/dev/null", O_RDONLY));
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

    constexpr char kEnvironment[] = "TerminateMutex=000000003\0PATH=/usr/bin:/bin\0";  // + the final zero
    const std::string folderText = folder.path().string();
    const ProcessStart what{"vorn_child_probe report.txt", kEnvironment, folderText, kDetachedProcess, event.get()};
    std::unique_ptr<ProcessHandle> process;
    const std::uint32_t created = createProcess(what, process);
    ::pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
    ASSERT_EQ(created, kErrorSuccess);
    ASSERT_TRUE(event->setInheritable(false));
    ASSERT_TRUE(event->set());

    ASSERT_EQ(endOf(*process), 0);
    auto report = readReport(folder.path() / "report.txt");
    EXPECT_EQ(report["fds"], inheritable ? "0 1 2 3" : "0 1 2");
    EXPECT_EQ(report["event"], inheritable ? "signalled" : "none");
    EXPECT_EQ(report["sigblk"], "0000000000000000");
    // glibc's posix_spawn leaves its two internal signals (32, 33) ignored;
    // no program can handle them anyway.
    EXPECT_EQ(std::stoull(report["sigign"], nullptr, 16) & ~(std::uint64_t{3} << 31), 0u) << report["sigign"];
    EXPECT_EQ(report["session"], "own");
    EXPECT_EQ(fs::path(report["cwd"]), fs::canonical(folder.path()));
    EXPECT_EQ(report["variables"], "2");
    EXPECT_EQ(report["TerminateMutex"], "000000003");
    EXPECT_EQ(report["argument"], "report.txt");
  }
}

// A child that inherited an event finds it signalled once its creator has
// let go of it, as when the creator ends in any way.
TEST(CreateProcess, AnInheritedEventIsSignalledWhenItsCreatorLetsGoOfIt) {
  test::TempRoot folder;
  std::unique_ptr<Event> event;
  ASSERT_EQ(createEvent(false, false, true, event), kErrorSuccess);
  constexpr char kEnvironment[] = "PATH=/usr/bin:/bin\0";
  const std::string folderText = folder.path().string();
  const ProcessStart what{"vorn_child_probe report.txt", kEnvironment, folderText, kDetachedProcess, event.get()};
  std::unique_ptr<ProcessHandle> process;
  ASSERT_EQ(createProcess(what, process), kErrorSuccess);
  event.reset();
  ASSERT_EQ(endOf(*process), 0);
  EXPECT_EQ(readReport(folder.path() / "report.txt")["event"], "signalled");
}

TEST(CreateProcess, NoEndedChildStaysAZombie) {
  // Reaped by the wait, which tells its exit code.
  for (const auto& [program, code] : {std::pair{"true", 0}, std::pair{"false", 1}}) {
    std::unique_ptr<ProcessHandle> process;
    ASSERT_EQ(start(program, process), kErrorSuccess);
    EXPECT_EQ(endOf(*process), code) << program;
    EXPECT_TRUE(reaped(static_cast<pid_t>(process->processId()))) << program;
  }

  // Ended before its handle is closed, nobody having waited for it.
  std::unique_ptr<ProcessHandle> ended;
  ASSERT_EQ(start("true", ended), kErrorSuccess);
  const auto endedPid = static_cast<pid_t>(ended->processId());
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(endedPid), &info, WEXITED | WNOWAIT), 0);
  ended.reset();
  EXPECT_TRUE(reaped(endedPid));

  // Its handle closed while it runs; it ends later.
  std::unique_ptr<ProcessHandle> running;
  ASSERT_EQ(start("sleep 0.2", running), kErrorSuccess);
  const auto runningPid = static_cast<pid_t>(running->processId());
  running.reset();
  for (int tries = 0; tries < 500 && !reaped(runningPid); ++tries) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(reaped(runningPid));
}

TEST(CreateProcess, TerminateEndsTheChildThroughItsHandle) {
  std::unique_ptr<ProcessHandle> process;
  ASSERT_EQ(start("sleep 30", process), kErrorSuccess);
  std::uint32_t code = 0;
  ASSERT_TRUE(process->exitCode(code));
  EXPECT_EQ(code, kStillActive);
  ASSERT_TRUE(process->terminate(7));
  EXPECT_EQ(endOf(*process), 7);
  EXPECT_FALSE(process->terminate(7)) << "it has ended";
  EXPECT_EQ(lastError(), kErrorAccessDenied);

  // Terminated and closed at once: closing waits for the end it caused.
  ASSERT_EQ(start("sleep 30", process), kErrorSuccess);
  const auto pid = static_cast<pid_t>(process->processId());
  ASSERT_TRUE(process->terminate(1));
  process.reset();
  EXPECT_TRUE(reaped(pid));
}

TEST(CreateProcess, ProgramsAreFoundInOurOwnFolderThenOnThePathNeverInTheCurrentFolder) {
  test::TempRoot root;
  const fs::path onPath = root.path() / "bin";
  const fs::path current = root.path() / "current";
  fs::create_directories(onPath);
  fs::create_directories(current);
  const auto script = [](const fs::path& file, const char* body) {
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
  };
  script(onPath / "vorn_child_probe", "echo copy=path > \"$1\"");  // loses to our own folder's
  script(onPath / "vorn_path_program", "exit 5");
  script(current / "vorn_current_program", "exit 6");
  const std::string oldPath = std::getenv("PATH");
  const fs::path oldFolder = fs::current_path();
  // Empty and relative entries would name the current folder.
  ::setenv("PATH", (":.:current:" + onPath.string() + ":").c_str(), 1);
  fs::current_path(current);

  std::unique_ptr<ProcessHandle> process;
  ASSERT_EQ(start("vorn_child_probe report.txt", process, root.path().string()), kErrorSuccess);
  EXPECT_EQ(endOf(*process), 0);
  EXPECT_TRUE(readReport(root.path() / "report.txt").contains("fds")) << "the copy on the path ran";
  ASSERT_EQ(start("vorn_path_program", process), kErrorSuccess);
  EXPECT_EQ(endOf(*process), 5);
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
    EXPECT_EQ(start(failure.commandLine, process, failure.folder), failure.error) << failure.commandLine;
    EXPECT_EQ(lastError(), failure.error);
    EXPECT_FALSE(process);
  }
  ::setenv("PATH", oldPath.c_str(), 1);
  fs::current_path(oldFolder);
}

TEST(InheritedEvent, OnlyAnEventDescriptorOfThisProcessIsTaken) {
  // An event arrives as an eventfd or as a pipe's read end: not as a pipe's
  // write end, nor as any other file.
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const posix::UniqueFd readEnd(ends[0]);
  const posix::UniqueFd writeEnd(ends[1]);
  const posix::UniqueFd file(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(inheritedEvent(static_cast<std::uint32_t>(writeEnd.get())), nullptr);
  EXPECT_EQ(inheritedEvent(static_cast<std::uint32_t>(file.get())), nullptr);
  EXPECT_EQ(inheritedEvent(999999), nullptr);
  EXPECT_EQ(inheritedEvent(0x80000003u), nullptr);
  EXPECT_EQ(::fcntl(writeEnd.get(), F_GETFD), FD_CLOEXEC) << "a rejected descriptor is left alone";
}

}  // namespace
}  // namespace vorn::platform
