#include "agent/diag/agent_event_log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace vorn {
namespace {

constexpr std::string_view kWriterName = "SPOOLAGENT";
constexpr std::uint16_t kCategory = 0;
constexpr std::uint32_t kEventId = 1;
constexpr std::size_t kEventTextBytes = 160;

// One insertion string in its own fixed buffer: at most 159 characters and a
// terminator. The copy ends at the first NUL, as the 8-bit C string it
// becomes on the wire would.
class EventText {
 public:
  explicit EventText(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    length_ = std::min(text.size(), buffer_.size() - 1);
    std::memcpy(buffer_.data(), text.data(), length_);
    buffer_[length_] = '\0';
  }
  EventText(const EventText&) = delete;
  EventText& operator=(const EventText&) = delete;

  std::string_view view() const { return {buffer_.data(), length_}; }

 private:
  std::array<char, kEventTextBytes> buffer_{};
  std::size_t length_ = 0;
};

void writeEvent(platform::EventSource* source, std::uint16_t type, std::string_view text1,
                std::optional<std::string_view> text2) {
  if (source == nullptr) return;
  const EventText first(text1);
  std::optional<EventText> second;
  if (text2) second.emplace(*text2);
  const std::array<std::optional<std::string_view>, 6> strings = {
      kWriterName,
      first.view(),
      second ? std::optional<std::string_view>(second->view()) : std::nullopt,
      std::nullopt,
      std::nullopt,
      std::nullopt,
  };
  // A failed write has nowhere better to be reported; it is dropped.
  static_cast<void>(source->report(type, kCategory, kEventId, strings));
}

}  // namespace

AgentEventLog::AgentEventLog(std::unique_ptr<platform::EventSource> source)
    : source_(std::move(source)) {}

void AgentEventLog::LogError(std::string_view text) {
  writeEvent(source_.get(), platform::kEventLogErrorType, text, std::nullopt);
}

void AgentEventLog::LogErrorPair(std::string_view text1, std::string_view text2) {
  writeEvent(source_.get(), platform::kEventLogErrorType, text1, text2);
}

void AgentEventLog::LogErrorCode(std::string_view text, std::int32_t code) {
  writeEvent(source_.get(), platform::kEventLogErrorType, text, std::to_string(code));
}

void AgentEventLog::LogInfoPair(std::string_view text1, std::string_view text2) {
  writeEvent(source_.get(), platform::kEventLogInformationType, text1, text2);
}

}  // namespace vorn
