// The system event log on POSIX: one JSON object a line in "log/events.jsonl"
// under the platform root, mirrored to syslog.
//
// Each event is written with one write(2) on a descriptor opened with
// O_APPEND, so lines from concurrent writers (the service, every agent) never
// interleave.
#include "platform/event_log.h"

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/json_object.h"
#include "platform/posix/root.h"

#include <fcntl.h>
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
  FileEventSource(UniqueFd log, std::string sourceName) : log_(std::move(log)), sourceName_(std::move(sourceName)) {}

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

    if (!appendLine(line)) return false;
    mirrorToSyslog(type, strings);
    return true;
  }

 private:
  static bool failFromErrno() {
    setLastErrorFromErrno();
    return false;
  }

  // One write: a regular file opened for appending takes it whole or reports why not.
  bool appendLine(const std::string& line) {
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

  UniqueFd log_;
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
    const std::filesystem::path file = folder / "events.jsonl";
    UniqueFd log(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!log) {
      setLastErrorFromErrno();
      return nullptr;
    }
    return std::make_unique<FileEventSource>(std::move(log), std::string(cString(sourceName)));
  }
};

}  // namespace

EventLog& systemEventLog() {
  static FileEventLog log;  // stateless: the root is read at each registration
  return log;
}

}  // namespace vorn::platform
