// Processes on Windows: CreateProcessA, TerminateProcess, GetExitCodeProcess,
// GetProcessId.
//
// The program is found here rather than by CreateProcessA, whose search
// includes the current folder: first the folder of this program, then the
// path. Only the one inherited event crosses into the new process: it is the
// only handle of a PROC_THREAD_ATTRIBUTE_HANDLE_LIST. A process that is to
// end with this one is started suspended, put in this process's
// kill-on-close job, and then let run.
#include "platform/child_process.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/win32/command_line.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/waitable_handle.h"

namespace vorn::platform {
namespace {

class Win32Process final : public ProcessHandle, public win32::WaitableHandle {
 public:
  explicit Win32Process(win32::SharedHandle handle) : handle_(std::move(handle)) {}

  win32::SharedHandle sharedHandle() const override { return handle_; }

  std::uint32_t processId() const override { return ::GetProcessId(handle_->get()); }

  bool terminate(std::uint32_t exitCode) override { return ::TerminateProcess(handle_->get(), exitCode) != FALSE; }

  bool exitCode(std::uint32_t& code) override {
    DWORD status = 0;
    if (!::GetExitCodeProcess(handle_->get(), &status)) return false;
    code = status;
    return true;
  }

 private:
  win32::SharedHandle handle_;
};

bool isFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The program's file: `program` as it stands when it names a folder, else
// from this program's folder or the path; ".exe" is added to a name without
// an extension, as CreateProcessA does.
std::optional<std::string> findProgram(std::string_view program) {
  std::string name(program);
  const std::size_t lastSeparator = name.find_last_of("\\/:");
  const std::size_t nameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  if (name.find('.', nameStart) == std::string::npos) name += ".exe";
  if (name.size() == nameStart + 4) return std::nullopt;  // no name at all
  if (lastSeparator != std::string::npos) return isFile(name) ? std::optional(name) : std::nullopt;

  const std::string self = moduleFileName();
  if (const std::size_t folderEnd = self.find_last_of("\\/"); folderEnd != std::string::npos) {
    if (std::string beside = self.substr(0, folderEnd + 1) + name; isFile(beside)) return beside;
  }
  const DWORD pathLength = ::GetEnvironmentVariableA("PATH", nullptr, 0);
  if (pathLength == 0) return std::nullopt;
  std::string path(pathLength, '\0');
  path.resize(::GetEnvironmentVariableA("PATH", path.data(), pathLength));
  std::string found(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::SearchPathA(path.c_str(), name.c_str(), nullptr, static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0) return std::nullopt;
    if (length < found.size()) {
      found.resize(length);
      return isFile(found) ? std::optional(found) : std::nullopt;
    }
    found.resize(length + 1);
  }
}

// The attribute list that restricts inheritance to one handle.
class InheritedHandleList {
 public:
  // `handle` must live as long as this list.
  bool init(const HANDLE* handle) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
      list_ = nullptr;
      return false;
    }
    return ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, const_cast<HANDLE*>(handle),
                                       sizeof(HANDLE), nullptr, nullptr) != FALSE;
  }
  ~InheritedHandleList() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }
  InheritedHandleList() = default;
  InheritedHandleList(const InheritedHandleList&) = delete;
  InheritedHandleList& operator=(const InheritedHandleList&) = delete;

  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<std::byte> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Whether `block` is a well-formed environment block: strings, then one more zero.
bool isEnvironmentBlock(std::span<const char> block) {
  if (block.empty() || block.back() != '\0') return false;
  return block.size() == 1 || block[block.size() - 2] == '\0';
}

std::uint32_t fail(std::uint32_t code) {
  ::SetLastError(code);
  return code;
}

// The job whose processes end when its one handle is closed, which happens
// when this process ends. Made at its first use, for the process's lifetime.
class KillOnCloseJob {
 public:
  KillOnCloseJob() : handle_(::CreateJobObjectA(nullptr, nullptr)) {
    if (!handle_) {
      error_ = ::GetLastError();
      return;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(handle_.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
      error_ = ::GetLastError();
      handle_.reset();
    }
  }

  // AssignProcessToJobObject: 0 or the failure's code.
  DWORD assign(HANDLE process) const {
    if (!handle_) return error_;
    return ::AssignProcessToJobObject(handle_.get(), process) ? ERROR_SUCCESS : ::GetLastError();
  }

 private:
  win32::UniqueHandle handle_;  // not inheritable: no child keeps the job open
  DWORD error_ = ERROR_SUCCESS;
};

const KillOnCloseJob& processJob() {
  static const KillOnCloseJob job;
  return job;
}

}  // namespace

std::uint32_t createProcess(const ProcessStart& start, std::unique_ptr<ProcessHandle>& process) {
  process.reset();
  if (!start.environment.empty() && !isEnvironmentBlock(start.environment)) return fail(ERROR_INVALID_PARAMETER);
  const std::optional<std::string> program = findProgram(win32::programOfCommandLine(start.commandLine));
  if (!program) return fail(ERROR_FILE_NOT_FOUND);

  std::string commandLine(start.commandLine);  // CreateProcessA may write to it
  const std::string folder(start.currentDirectory);

  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof(startup);
  DWORD flags = start.creationFlags;
  if (start.endWithThisProcess) flags |= CREATE_SUSPENDED;
  BOOL inherit = FALSE;
  HANDLE eventHandle = nullptr;
  InheritedHandleList handles;  // points to eventHandle
  if (start.inheritedEvent != nullptr) {
    const win32::SharedHandle shared = win32::sharedHandleOf(start.inheritedEvent);
    if (shared == nullptr) return fail(ERROR_INVALID_PARAMETER);
    eventHandle = shared->get();
    DWORD handleFlags = 0;
    if (!::GetHandleInformation(eventHandle, &handleFlags)) return fail(::GetLastError());
    // An event made not inheritable stays in this process.
    if ((handleFlags & HANDLE_FLAG_INHERIT) != 0) {
      if (!handles.init(&eventHandle)) return fail(::GetLastError());
      startup.StartupInfo.cb = sizeof(STARTUPINFOEXA);
      startup.lpAttributeList = handles.get();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
      inherit = TRUE;
    }
  }

  PROCESS_INFORMATION created{};
  const BOOL ok = ::CreateProcessA(
      program->c_str(), commandLine.data(), nullptr, nullptr, inherit, flags,
      start.environment.empty() ? nullptr : const_cast<char*>(start.environment.data()),
      folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &created);
  if (!ok) {
    const win32::LastErrorKeeper failure;
    return failure.code();
  }
  win32::UniqueHandle thread(created.hThread);
  win32::UniqueHandle child(created.hProcess);
  if (start.endWithThisProcess) {
    DWORD error = processJob().assign(child.get());
    if (error == ERROR_SUCCESS && ::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
      // It never ran: it must not run outside the job.
      ::TerminateProcess(child.get(), error);
      return fail(error);
    }
  }
  process = std::make_unique<Win32Process>(win32::shareHandle(child.release()));
  return kErrorSuccess;
}

}  // namespace vorn::platform
