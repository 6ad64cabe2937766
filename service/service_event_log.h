// The print service's ways of writing an event: source "VORN", event
// identifier 1, category 0, six insertion strings: the service's name, the
// message, the detail, the subject where one is named, and nulls. The source is opened for each event
// and closed after it, so any thread may write at any time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::platform {
class EventLog;
}

namespace vorn {

class ServiceEventLog {
 public:
  explicit ServiceEventLog(platform::EventLog& eventLog) : eventLog_(eventLog) {}

  void ReportError(std::string_view message, std::string_view detail);
  void ReportInfo(std::string_view message, std::string_view detail);
  // The detail is `code` in signed decimal.
  void ReportErrorCode(std::string_view message, std::int32_t code);
  void ReportErrorCode(std::string_view message, std::uint32_t code) {
    ReportErrorCode(message, static_cast<std::int32_t>(code));
  }
  // The detail is the calling thread's last error, read before anything else.
  void ReportLastError(std::string_view message);
  // The same, with `subject` (what the error befell) as the next string.
  void ReportLastError(std::string_view message, std::string_view subject);

 private:
  void write(std::uint16_t type, std::string_view message, std::string_view detail,
             std::optional<std::string_view> subject = std::nullopt);

  platform::EventLog& eventLog_;
};

// The longest SystemErrorText, without its terminating zero.
inline constexpr std::size_t kSystemErrorTextMax = 1023;

// "Error: <code> " followed by the system's text for `code` (nothing when it
// has none), cut to kSystemErrorTextMax characters.
std::string SystemErrorText(std::uint32_t code);

}  // namespace vorn
