// Shared helpers of the job tests: byte strings and an event log that records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "agent/diag/agent_event_log.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// An AgentEventLog whose events the test reads back as "text" (insertion
// string 2) or "text|detail" (insertion strings 2 and 3) lines.
class RecordedEventLog {
 public:
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    for (const auto& event : recorder_.events) {
      const auto& s = event.strings;
      std::string line = s.size() > 1 && s[1] ? *s[1] : "<null>";
      if (s.size() > 2 && s[2]) line += "|" + *s[2];
      result.push_back(std::move(line));
    }
    return result;
  }
  const std::vector<fakes::RecordedEvent>& events() const { return recorder_.events; }

 private:
  fakes::EventRecorder recorder_;

 public:
  AgentEventLog log{std::make_unique<fakes::RecordingEventSource>(recorder_)};
};

}  // namespace vorn::testing
