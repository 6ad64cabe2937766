#include "agent/diag/agent_event_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/event_log.h"
#include "tests/fakes/recording_event_source.h"

namespace vorn {
namespace {

using fakes::EventRecorder;
using fakes::RecordingEventSource;
using Strings = std::vector<std::optional<std::string>>;

class AgentEventLogTest : public ::testing::Test {
 protected:
  EventRecorder recorder;
  AgentEventLog log{std::make_unique<RecordingEventSource>(recorder)};
};

struct OperationCase {
  const char* label;
  std::function<void(AgentEventLog&)> write;
  std::uint16_t type;
  Strings strings;
};

TEST_F(AgentEventLogTest, EachOperationWritesOneEventOfItsShape) {
  const std::vector<OperationCase> cases = {
      {"LogError", [](AgentEventLog& l) { l.LogError("parent's oncreate failed"); },
       platform::kEventLogErrorType,
       {"SPOOLAGENT", "parent's oncreate failed", std::nullopt, std::nullopt, std::nullopt,
        std::nullopt}},
      {"LogErrorPair", [](AgentEventLog& l) { l.LogErrorPair("OpenPrinter failed", "LASER 1"); },
       platform::kEventLogErrorType,
       {"SPOOLAGENT", "OpenPrinter failed", "LASER 1", std::nullopt, std::nullopt, std::nullopt}},
      {"LogErrorCode", [](AgentEventLog& l) { l.LogErrorCode("docprops failed", 1801); },
       platform::kEventLogErrorType,
       {"SPOOLAGENT", "docprops failed", "1801", std::nullopt, std::nullopt, std::nullopt}},
      {"LogInfoPair", [](AgentEventLog& l) { l.LogInfoPair("connected", "laser1"); },
       platform::kEventLogInformationType,
       {"SPOOLAGENT", "connected", "laser1", std::nullopt, std::nullopt, std::nullopt}},
      {"empty texts stay empty, not null", [](AgentEventLog& l) { l.LogErrorPair("", ""); },
       platform::kEventLogErrorType,
       {"SPOOLAGENT", "", "", std::nullopt, std::nullopt, std::nullopt}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    recorder.events.clear();
    c.write(log);
    ASSERT_EQ(recorder.events.size(), 1u);
    const auto& event = recorder.events.front();
    EXPECT_EQ(event.type, c.type);
    EXPECT_EQ(event.category, 0);
    EXPECT_EQ(event.eventId, 1u);
    EXPECT_EQ(event.strings, c.strings);
  }
}

TEST_F(AgentEventLogTest, LogErrorCodeWritesTheSignedDecimal) {
  const std::vector<std::pair<std::int32_t, std::string>> cases = {
      {-1, "-1"},
      {0, "0"},
      {static_cast<std::int32_t>(0x80004005u), "-2147467259"},
      {platform::kEFail, "-2147467259"},
      {2147483647, "2147483647"},
      {static_cast<std::int32_t>(0x80000000u), "-2147483648"},
      {10061, "10061"},
  };
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(text);
    recorder.events.clear();
    log.LogErrorCode("write failed", code);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events.front().strings.at(2), text);
  }
}

TEST_F(AgentEventLogTest, TextsAreCutTo159CharactersEachOnItsOwn) {
  const std::vector<std::pair<std::size_t, std::size_t>> lengths = {
      {0, 0}, {158, 158}, {159, 159}, {160, 159}, {161, 159}, {1000, 159}};
  for (const auto& [given, kept] : lengths) {
    SCOPED_TRACE(given);
    recorder.events.clear();
    const std::string first(given, 'a');
    const std::string second(given == 0 ? 0 : given + 7, 'b');
    log.LogErrorPair(first, second);
    ASSERT_EQ(recorder.events.size(), 1u);
    const auto& strings = recorder.events.front().strings;
    EXPECT_EQ(strings.at(1), std::string(kept, 'a'));
    EXPECT_EQ(strings.at(2), std::string(std::min<std::size_t>(second.size(), 159), 'b'));
  }
}

TEST_F(AgentEventLogTest, TheCutKeepsTheStartOfTheText) {
  std::string text;
  for (int i = 0; text.size() < 300; ++i) text += std::to_string(i) + ",";
  log.LogError(text);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events.front().strings.at(1), text.substr(0, 159));
}

TEST_F(AgentEventLogTest, ATextEndsAtAnEmbeddedNul) {
  log.LogErrorPair(std::string("abc\0def", 7), std::string("\0xyz", 4));
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events.front().strings.at(1), "abc");
  EXPECT_EQ(recorder.events.front().strings.at(2), "");
}

TEST(AgentEventLogWithoutSource, WritesNothingAndDoesNotFail) {
  AgentEventLog log(nullptr);
  EXPECT_FALSE(log.hasSource());
  log.LogError("a");
  log.LogErrorPair("a", "b");
  log.LogErrorCode("a", -1);
  log.LogInfoPair("a", "b");
}

TEST_F(AgentEventLogTest, AFailedWriteIsIgnoredAndLaterWritesGoThrough) {
  EXPECT_TRUE(log.hasSource());
  recorder.failReports = true;
  log.LogError("lost");
  log.LogErrorCode("lost", 5);
  EXPECT_TRUE(recorder.events.empty());
  recorder.failReports = false;
  log.LogError("kept");
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events.front().strings.at(1), "kept");
}

}  // namespace
}  // namespace vorn
