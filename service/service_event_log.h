// The print service's four ways of writing an event: source "VORN", event
// identifier 1, category 0, six insertion strings: the service's name, the
// message, the detail and three nulls. The source is opened for each event
// and closed after it, so any thread may write at any time.
#pragma once

#include <cstdint>
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

 private:
  void write(std::uint16_t type, std::string_view message, std::string_view detail);

  platform::EventLog& eventLog_;
};

// The longest SystemErrorText, without its terminating zero.
inline constexpr std::size_t kSystemErrorTextMax = 1023;

// "Error: <code> " followed by the system's text for `code` (nothing when it
// has none), cut to kSystemErrorTextMax characters.
std::string SystemErrorText(std::uint32_t code);

}  // namespace vorn
