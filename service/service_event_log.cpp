#include "service/service_event_log.h"

#include <array>
#include <optional>
#include <string>

#include "common/service_identity.h"
#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/process.h"

namespace vorn {
namespace {

constexpr std::string_view kEventSourceName = "VORN";
constexpr std::uint32_t kEventId = 1;

std::string signedDecimal(std::uint32_t code) { return std::to_string(static_cast<std::int32_t>(code)); }

}  // namespace

void ServiceEventLog::write(std::uint16_t type, std::string_view message, std::string_view detail,
                            std::optional<std::string_view> subject) {
  auto source = eventLog_.registerSource(kEventSourceName);
  if (!source) {
    const std::string code = signedDecimal(platform::lastError());
    platform::writeStandardOutput(type == platform::kEventLogErrorType ? "logopen failed " + code + "\n"
                                                                       : "logopen failed: " + code + "\n");
    return;
  }
  const std::array<std::optional<std::string_view>, 6> strings{kServiceName, message, detail,
                                                               subject,      std::nullopt, std::nullopt};
  if (!source->report(type, 0, kEventId, strings)) {
    platform::writeStandardOutput("failed to log event: " + signedDecimal(platform::lastError()) + "\n");
  }
}

void ServiceEventLog::ReportError(std::string_view message, std::string_view detail) {
  write(platform::kEventLogErrorType, message, detail);
}

void ServiceEventLog::ReportInfo(std::string_view message, std::string_view detail) {
  write(platform::kEventLogInformationType, message, detail);
}

void ServiceEventLog::ReportErrorCode(std::string_view message, std::int32_t code) {
  ReportError(message, std::to_string(code));
}

void ServiceEventLog::ReportLastError(std::string_view message) {
  const std::uint32_t code = platform::lastError();
  ReportErrorCode(message, code);
}

void ServiceEventLog::ReportLastError(std::string_view message, std::string_view subject) {
  const std::uint32_t code = platform::lastError();
  write(platform::kEventLogErrorType, message, std::to_string(static_cast<std::int32_t>(code)), subject);
}

std::string SystemErrorText(std::uint32_t code) {
  std::string text = "Error: " + signedDecimal(code) + " ";
  text += platform::systemMessageText(code);
  if (text.size() > kSystemErrorTextMax) text.resize(kSystemErrorTextMax);
  return text;
}

}  // namespace vorn
