// The system event log on POSIX: one JSON object a line in "log/events.jsonl"
// under the platform root, mirrored to syslog.
//
// Each event is written with one write(2) on a descriptor opened with
// O_APPEND, so lines from concurrent writers (the service, every agent) never
// interleave. The log's size is bounded as Windows bounds it: `MaxSize`
// (REG_DWORD, bytes) under the key
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application,
// 20 MiB when it is not set. A line that
// would take the file past it first makes it "events.jsonl.1" (replacing the
// older one) and starts a new file. Every writer holds an exclusive flock(2)
// on the log folder while it looks at the file, renames it and appends, so
// no line is lost or split across a rotation, whichever process makes it.
#include "platform/event_log.h"

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/json_object.h"
#include "platform/posix/root.h"
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

namespace vorn::platform {
namespace {

using posix::UniqueFd;

constexpr std::size_t kInsertionStrings = 6;
constexpr const char* kLogName = "events.jsonl";
constexpr const char* kOlderLogName = "events.jsonl.1";
constexpr const char* kLogSettingsKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr std::uint64_t kDefaultMaxSize = 20 * 1024 * 1024;

// The log's MaxSize from the registry; the default when it is not a
// REG_DWORD of at least one byte.
std::uint64_t configuredMaxSize() {
  std::unique_ptr<RegistryKey> key;
  if (systemRegistry().openKey(kLogSettingsKey, kKeyRead, key) != kErrorSuccess) return kDefaultMaxSize;
  std::array<std::uint8_t, 4> data{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (key->queryValue("MaxSize", type, data, size) != kErrorSuccess || type != kRegDword || size != data.size())
    return kDefaultMaxSize;
  const std::uint32_t value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  return value == 0 ? kDefaultMaxSize : value;
}

// flock(2) on the log folder for as long as it lives.
class FolderLock {
 public:
  explicit FolderLock(int folder) : folder_(folder) {
    int result;
    do {
      result = ::flock(folder_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    locked_ = result == 0;
  }
  ~FolderLock() {
    if (locked_) ::flock(folder_, LOCK_UN);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool locked() const { return locked_; }

 private:
  int folder_;
  bool locked_ = false;
};

// The text as a C string would carry it: up to its first zero byte.
std::string_view cString(std::string_view text) { return text.substr(0, text.find('\0')); }

// A Windows-1252 text as a JSON string (UTF-8).
void appendJsonString(std::string& out, std::string_view ansi) {
  posix::appendJsonQuoted(out, utf8FromAnsi(cString(ansi)));
}

// "2026-12-09T10:15:02.123Z"; false when the clock cannot be read.
bool appendUtcTime(std::string& out) {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  std::tm utc{};
  if (::gmtime_r(&now.tv_sec, &utc) == nullptr) return false;
  std::array<char, 96> text{};  // room for any int the fields could hold
  std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(now.tv_nsec / 1000000));
  out += text.data();
  return true;
}

const char* typeName(std::uint16_t type) {
  switch (type) {
    case 0: return "success";
    case kEventLogErrorType: return "error";
    case 2: return "warning";
    case kEventLogInformationType: return "information";
    case 8: return "audit success";
    case 16: return "audit failure";
    default: return nullptr;
  }
}

int syslogPriority(std::uint16_t type) {
  switch (type) {
    case kEventLogErrorType:
    case 16: return LOG_ERR;
    case 2: return LOG_WARNING;
    default: return LOG_INFO;
  }
}

class FileEventSource final : public EventSource {
 public:
  FileEventSource(UniqueFd folder, UniqueFd log, std::uint64_t maxSize, std::string sourceName)
      : folder_(std::move(folder)), log_(std::move(log)), maxSize_(maxSize), sourceName_(std::move(sourceName)) {}

  bool report(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
              std::span<const std::optional<std::string_view>> strings) override {
    const char* kind = typeName(type);
    if (kind == nullptr) {
      setLastError(kErrorInvalidParameter);
      return false;
    }
    std::string line = "{\"time\":\"";
    if (!appendUtcTime(line)) return failFromErrno();
    line += "\",\"source\":";
    appendJsonString(line, sourceName_);
    line += ",\"type\":\"";
    line += kind;
    line += "\",\"id\":" + std::to_string(eventId);
    line += ",\"category\":" + std::to_string(category);
    line += ",\"pid\":" + std::to_string(::getpid());
    line += ",\"strings\":[";
    const std::size_t count = std::max(strings.size(), kInsertionStrings);
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0) line += ',';
      if (i < strings.size() && strings[i]) {
        appendJsonString(line, *strings[i]);
      } else {
        line += "null";
      }
    }
    line += "]}\n";

    // Mirrored even when the file cannot take it (a full disk, say).
    mirrorToSyslog(type, strings);
    return appendLine(line);
  }

 private:
  static bool failFromErrno() {
    setLastErrorFromErrno();
    return false;
  }

  // One write: a regular file opened for appending takes it whole or reports
  // why not. Under the folder's lock, into the file that is the log now.
  bool appendLine(const std::string& line) {
    FolderLock lock(folder_.get());
    if (!lock.locked()) return failFromErrno();
    if (!followRotation(line.size())) return false;
    ssize_t n;
    do {
      n = ::write(log_.get(), line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) return failFromErrno();
    if (static_cast<std::size_t>(n) != line.size()) {
      setLastError(kErrorDiskFull);  // only a full file system cuts an append short
      return false;
    }
    return true;
  }

  // Another writer may have renamed the file this source opened; a line that
  // would take the file past its size starts a new one. The caller holds the lock.
  bool followRotation(std::size_t lineSize) {
    // At most: the file another writer started, then one of our own.
    for (int pass = 0; pass < 3; ++pass) {
      struct stat opened {};
      struct stat current {};
      if (::fstat(log_.get(), &opened) != 0) return failFromErrno();
      const bool same = ::fstatat(folder_.get(), kLogName, &current, AT_SYMLINK_NOFOLLOW) == 0 &&
                        current.st_dev == opened.st_dev && current.st_ino == opened.st_ino;
      if (same) {
        // A line longer than the whole log still goes into a file of its own.
        if (current.st_size == 0 || static_cast<std::uint64_t>(current.st_size) + lineSize <= maxSize_) return true;
        if (::renameat(folder_.get(), kLogName, folder_.get(), kOlderLogName) != 0) return failFromErrno();
      }
      UniqueFd reopened;
      if (const int error = posix::openStateFile(folder_.get(), kLogName, O_WRONLY | O_APPEND, reopened)) {
        errno = error;
        return failFromErrno();
      }
      log_ = std::move(reopened);
    }
    return true;
  }

  void mirrorToSyslog(std::uint16_t type, std::span<const std::optional<std::string_view>> strings) const {
    std::string text;
    for (const auto& s : strings) {
      if (!s || cString(*s).empty()) continue;
      if (!text.empty()) text += ": ";
      text += utf8FromAnsi(cString(*s));
    }
    ::openlog("VORN", LOG_PID, LOG_USER);
    ::syslog(syslogPriority(type), "%s", text.c_str());
  }

  UniqueFd folder_;
  UniqueFd log_;
  std::uint64_t maxSize_;
  std::string sourceName_;
};

class FileEventLog final : public EventLog {
 public:
  std::unique_ptr<EventSource> registerSource(std::string_view sourceName) override {
    std::filesystem::path folder;
    if (const std::uint32_t error = rootFolder("log", folder)) {
      setLastError(error);
      return nullptr;
    }
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    UniqueFd log;
    const int error = folderFd ? posix::openStateFile(folderFd.get(), kLogName, O_WRONLY | O_APPEND, log) : errno;
    if (error != 0) {
      setLastError(win32FromErrno(error));
      return nullptr;
    }
    return std::make_unique<FileEventSource>(std::move(folderFd), std::move(log), configuredMaxSize(),
                                             std::string(cString(sourceName)));
  }
};

}  // namespace

EventLog& systemEventLog() {
  static FileEventLog log;  // stateless: the root is read at each registration
  return log;
}

}  // namespace vorn::platform
