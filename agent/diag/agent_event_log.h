// The agent's four ways of writing an event: source "VORN", event identifier
// 1, category 0, six insertion strings of which the first is "SPOOLAGENT".
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/event_log.h"

namespace vorn {

class AgentEventLog {
 public:
  // `source` may be null (registration failed): then nothing is written.
  explicit AgentEventLog(std::unique_ptr<platform::EventSource> source);

  bool hasSource() const { return source_ != nullptr; }

  // Error event: insertion string 2 is `text`, 3 is null.
  void LogError(std::string_view text);
  // Error event: insertion strings 2 and 3 are the two texts.
  void LogErrorPair(std::string_view text1, std::string_view text2);
  // Error event: insertion string 3 is `code` as a signed decimal number.
  void LogErrorCode(std::string_view text, std::int32_t code);
  // Information event: insertion strings 2 and 3 are the two texts.
  void LogInfoPair(std::string_view text1, std::string_view text2);

 private:
  std::unique_ptr<platform::EventSource> source_;
};

}  // namespace vorn
