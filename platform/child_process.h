// Processes this process starts, and their handles.
// Stands for: CreateProcessA, TerminateProcess, GetExitCodeProcess,
// GetProcessId, CloseHandle of a process; CreateJobObjectA,
// SetInformationJobObject (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE),
// AssignProcessToJobObject.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/wait.h"

namespace vorn::platform {

class Event;

// CreateProcessA's creation flag for a process without a console (on POSIX:
// a session of its own).
inline constexpr std::uint32_t kDetachedProcess = 0x00000008;

// GetExitCodeProcess's value while the process runs (STILL_ACTIVE).
inline constexpr std::uint32_t kStillActive = 259;

struct ProcessStart {
  // The program's name, a blank and the arguments, in the ANSI code page.
  // The program is searched for as CreateProcessA does without an
  // application name: first in the folder of this process's program file,
  // then on the path; never in the current folder. (POSIX splits the line at
  // its first blank: the program's name, then one argument.)
  std::string_view commandLine;
  // The new process's environment block: "NAME=value\0" strings followed by
  // one more "\0". Empty: this process's environment.
  std::span<const char> environment;
  // The new process's current folder; empty: this process's.
  std::string_view currentDirectory;
  // 0 or kDetachedProcess.
  std::uint32_t creationFlags = 0;
  // The one object the new process inherits (handle inheritance on), or
  // none. On POSIX it is placed at descriptor 3 and the new process gets no
  // other descriptor beyond 0 to 2.
  Event* inheritedEvent = nullptr;
  // The new process ends when this process ends, in whatever way: on
  // Windows it is put in a job object with JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE
  // whose one handle this process holds. POSIX has no such object; there the
  // child learns of this process's end through its inherited event (event.h)
  // and ends itself.
  bool endWithThisProcess = false;
};

// A process handle. It is signalled (wait.h) once the process has ended.
// Destroying it closes the handle; the process runs on. On POSIX a process
// that has ended is reaped by the first wait that sees it, or at the latest
// when its handle is closed, so it never stays a zombie.
class ProcessHandle : public Waitable {
 public:
  // GetProcessId.
  virtual std::uint32_t processId() const = 0;

  // TerminateProcess: ends the process with `exitCode` (on POSIX with
  // SIGKILL through the handle itself, never through a process id that may
  // have been reused). false with the last error set (kErrorAccessDenied
  // when the process has already ended).
  virtual bool terminate(std::uint32_t exitCode) = 0;

  // GetExitCodeProcess: kStillActive while the process runs. On POSIX a
  // process ended by a signal has 128 + the signal's number, except after
  // terminate, which sets its own code. false with the last error set.
  virtual bool exitCode(std::uint32_t& code) = 0;
};

// Whether the process has ended (GetExitCodeProcess no longer says
// STILL_ACTIVE); false also when that cannot be told.
inline bool hasEnded(ProcessHandle& process) {
  std::uint32_t code = kStillActive;
  return process.exitCode(code) && code != kStillActive;
}

// CreateProcessA (no separate application name, default security, the
// thread handle closed at once). 0 with `process` set, or the Win32 code of
// the failure (also the last error; kErrorFileNotFound when the program is
// not found) with `process` empty. The new process starts with an empty
// signal mask and default signal dispositions.
std::uint32_t createProcess(const ProcessStart& start, std::unique_ptr<ProcessHandle>& process);

}  // namespace vorn::platform
