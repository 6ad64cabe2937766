// The system event log.
// Stands for: RegisterEventSourceA, ReportEventA, DeregisterEventSource.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace vorn::platform {

inline constexpr std::uint16_t kEventLogErrorType = 1;
inline constexpr std::uint16_t kEventLogInformationType = 4;

// A registered source; destroying it deregisters it.
class EventSource {
 public:
  virtual ~EventSource() = default;

  // ReportEventA without a user SID or raw data. Each string is 8-bit
  // Windows-1252 text, read like a C string up to a zero byte, or null
  // (std::nullopt); at least six strings are recorded, missing ones as null.
  // Types: error, warning, information, audit success/failure, success (0).
  // Returns false, with the last error set, when the event could not be written.
  virtual bool report(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                      std::span<const std::optional<std::string_view>> strings) = 0;
};

class EventLog {
 public:
  virtual ~EventLog() = default;

  // RegisterEventSourceA on the local machine; null when the log cannot be opened.
  virtual std::unique_ptr<EventSource> registerSource(std::string_view sourceName) = 0;
};

// The machine's event log.
EventLog& systemEventLog();

}  // namespace vorn::platform
