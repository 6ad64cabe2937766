// Helpers for tests that use the real platform: a temporary platform root,
// the event log read back, a registry file written, programs run.
//
//   vorn::test::TempRoot root;                     // fresh $VORNPRINT_ROOT
//   vorn::test::writeRegistry(root.path(), "Windows Registry Editor Version 5.00\n...");
//   auto events = vorn::test::readEvents(root.path());
//   auto run = vorn::test::runProgram(vorn::test::programPath("spoolagent"), {"/profile=\"x\""});
#pragma once

#include "platform/posix/unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn::test {

// A fresh temporary folder made the platform root ($VORNPRINT_ROOT) for the
// object's lifetime. The destructor restores the previous value of the
// variable and removes the folder with everything in it; with
// VORN_PDF_COLLECT set, the PDFs left in it are first copied into that folder.
class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
};

// A new, empty folder under the system's temporary folder (or `under`), named
// `prefix` and a random number; the caller removes it.
std::filesystem::path makeTemporaryFolder(std::string_view prefix, const std::filesystem::path& under = {});

// A file's bytes, as far as they can be read; empty when it cannot be opened.
std::string fileText(const std::filesystem::path& path);

// One line of <root>/log/events.jsonl. Texts are as in the file (UTF-8).
struct LoggedEvent {
  std::string time;    // "2026-12-09T10:15:02.123Z"
  std::string source;  // "VORN"
  std::string type;    // "error", "information" …
  std::uint32_t id = 0;
  std::uint32_t category = 0;
  std::int64_t pid = 0;
  std::vector<std::optional<std::string>> strings;  // null entries as nullopt
};

// All events logged under `root`, oldest first; none when the log does not
// exist. Throws std::runtime_error for a line that is not such an event.
std::vector<LoggedEvent> readEvents(const std::filesystem::path& root);

// Parses one event line; throws std::runtime_error when it is malformed.
LoggedEvent parseEventLine(std::string_view line);

// Writes `text` (the bytes of a .reg file) as <root>/registry.reg, as every
// writer of the registry does: under the writers' lock, replacing it whole.
void writeRegistry(const std::filesystem::path& root, std::string_view text);

// A program file of this build: $VORN_BIN_DIR/<name> (set by CTest).
std::filesystem::path programPath(std::string_view name);

// A running program whose standard output and error are captured. The
// destructor kills it (SIGKILL) and reaps it if it is still running.
class ChildProcess {
 public:
  // Starts `program` with `args` (not counting the program itself) and the
  // current environment plus `extraEnv` (which replaces variables of the same
  // name). Standard input is /dev/null. Throws std::system_error on failure.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& extraEnv = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // Sends a signal (if the program has not been reaped yet).
  void signal(int signalNumber);

  // Waits up to `timeout` for the program to end; false when it is still running.
  bool wait(std::chrono::milliseconds timeout);
  bool running() const { return !finished_; }

  // After a successful wait: the exit status, or -1 when a signal ended it.
  int exitCode() const { return exitCode_; }
  // After a successful wait: the signal that ended it, or 0.
  int termSignal() const { return termSignal_; }

  // Everything written so far.
  std::string standardOutput() const;
  std::string standardError() const;

 private:
  pid_t pid_ = -1;
  platform::posix::UniqueFd out_;  // memory files the program writes its output to
  platform::posix::UniqueFd err_;
  bool finished_ = false;
  int exitCode_ = -1;
  int termSignal_ = 0;
};

struct ProgramResult {
  bool timedOut = false;  // the program was killed after the timeout
  int exitCode = -1;      // -1 when a signal ended it
  int termSignal = 0;
  std::string standardOutput;
  std::string standardError;
};

// Runs a program to its end (killed after `timeout`).
ProgramResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& extraEnv = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace vorn::test
