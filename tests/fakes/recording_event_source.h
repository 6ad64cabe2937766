// An event log for tests: every event reported through its sources is kept
// in memory with its type, category, identifier and insertion strings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_log.h"

namespace vorn::fakes {

struct RecordedEvent {
  std::uint16_t type = 0;
  std::uint16_t category = 0;
  std::uint32_t eventId = 0;
  std::vector<std::optional<std::string>> strings;  // null strings stay nullopt
};

// Where the events go; owned by the test, outliving the sources.
struct EventRecorder {
  std::vector<RecordedEvent> events;
  bool failReports = false;  // report() records nothing and returns false
};

class RecordingEventSource : public platform::EventSource {
 public:
  explicit RecordingEventSource(EventRecorder& recorder) : recorder_(recorder) {}

  bool report(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
              std::span<const std::optional<std::string_view>> strings) override {
    if (recorder_.failReports) return false;
    RecordedEvent event{type, category, eventId, {}};
    for (const auto& text : strings) {
      event.strings.push_back(text ? std::optional<std::string>(std::string(*text)) : std::nullopt);
    }
    recorder_.events.push_back(std::move(event));
    return true;
  }

 private:
  EventRecorder& recorder_;
};

// An EventLog whose sources record into one recorder; registration can be
// made to fail.
class RecordingEventLog : public platform::EventLog {
 public:
  explicit RecordingEventLog(EventRecorder& recorder) : recorder_(recorder) {}

  std::unique_ptr<platform::EventSource> registerSource(std::string_view sourceName) override {
    registeredNames.emplace_back(sourceName);
    if (failRegistration) return nullptr;
    return std::make_unique<RecordingEventSource>(recorder_);
  }

  bool failRegistration = false;
  std::vector<std::string> registeredNames;

 private:
  EventRecorder& recorder_;
};

}  // namespace vorn::fakes
