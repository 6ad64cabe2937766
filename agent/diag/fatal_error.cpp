#include "agent/diag/fatal_error.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>

#include "agent/diag/error_code_text.h"
#include "platform/event_log.h"
#include "platform/process.h"

namespace vorn {
namespace {

constexpr std::uint32_t kFatalExitCode = 65535;

std::string_view afterLastSeparator(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// The event log is the one place an operator sees the report when the agent
// runs detached, without a console.
void reportFatalEvent(std::string_view message) {
  const std::unique_ptr<platform::EventSource> source =
      platform::systemEventLog().registerSource("VORN");
  if (!source) return;
  const std::array<std::optional<std::string_view>, 6> strings = {
      "SPOOLAGENT", message, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
  };
  static_cast<void>(source->report(platform::kEventLogErrorType, 0, 1, strings));
}

}  // namespace

std::string FatalProgramName(std::string_view programPath) {
  const std::string_view name = afterLastSeparator(programPath);
  return std::string(name.substr(0, name.find('.')));
}

std::string FatalSourceName(std::string_view file) {
  return std::string(afterLastSeparator(file));
}

std::string FatalLastErrorText(std::uint32_t lastError) {
  std::string text = lastError == 0 ? std::string("none") : ErrorCodeText(lastError);
  std::array<char, 16> hex{};
  std::snprintf(hex.data(), hex.size(), "%" PRIx32, lastError);
  text += " [";
  text += hex.data();
  text += "]";
  return text;
}

std::string FatalErrorMessage(std::string_view programName, std::string_view description,
                              std::string_view sourceName, int line,
                              std::string_view lastErrorText) {
  std::string message = "An unrecoverable program error has occurred.  ";
  message += programName;
  message += " will have to exit without saving any open files.  ";
  message += programName;
  message += " should be ok when you run it again.  Error description:\n\n";
  message += description;
  message += "\n\nIf you report this error please include the description above and the "
             "following:\nCaught in ";
  message += sourceName;
  message += " at line ";
  message += std::to_string(line);
  message += "\nLast error: ";
  message += lastErrorText;
  return message;
}

void FatalError(std::string_view file, std::string_view description, int line) {
  // First: everything after this may change the thread's last error.
  const std::uint32_t lastError = platform::lastError();
  const std::string programName = FatalProgramName(platform::moduleFileName());
  const std::string message = FatalErrorMessage(programName, description, FatalSourceName(file),
                                                line, FatalLastErrorText(lastError));
  reportFatalEvent(message);
  platform::showErrorMessage(programName, message);
  platform::exitProcess(kFatalExitCode);
}

}  // namespace vorn
