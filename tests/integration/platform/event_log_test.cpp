#include "platform/event_log.h"

#include "platform/error.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <thread>

namespace vorn::platform {
namespace {

using Strings = std::vector<std::optional<std::string_view>>;

std::string readLog(const std::filesystem::path& root) {
  std::ifstream file(root / "log" / "events.jsonl", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(EventLog, ReportAppendsOneJsonLineWithAllSixStrings) {
  test::TempRoot root;
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_TRUE(source);
  const Strings strings = {"SPOOLAGENT", "couldn't open registry key", "SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1",
                           std::nullopt, std::nullopt, std::nullopt};
  ASSERT_TRUE(source->report(kEventLogErrorType, 0, 1, strings));

  const std::string text = readLog(root.path());
  const std::regex shape(
      R"(\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","source":"VORN","type":"error","id":1,"category":0,"pid":\d+,)"
      R"("strings":\["SPOOLAGENT","couldn't open registry key","SOFTWARE\\\\Kolvane\\\\VornPrint\\\\profiles\\\\laser1",null,null,null\]\}\n)");
  EXPECT_TRUE(std::regex_match(text, shape)) << text;

  const auto events = test::readEvents(root.path());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].pid, ::getpid());
  EXPECT_EQ(events[0].strings[2], "SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1");
}

TEST(EventLog, TimeIsCurrentUtc) {
  test::TempRoot root;
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_TRUE(source);
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(source->report(kEventLogInformationType, 0, 1, Strings{"x"}));
  const auto events = test::readEvents(root.path());
  ASSERT_EQ(events.size(), 1u);
  std::tm parsed{};
  ASSERT_NE(::strptime(events[0].time.c_str(), "%Y-%m-%dT%H:%M:%S", &parsed), nullptr);
  const std::time_t logged = ::timegm(&parsed);
  // time() reads a coarse clock that may lag the precise one the log uses by
  // a few milliseconds, so both ends get a second of slack.
  EXPECT_LE(before - 1, logged);
  EXPECT_LE(logged, std::time(nullptr) + 1);
}

struct StringsCase {
  const char* label;
  Strings given;
  std::vector<std::optional<std::string>> logged;
};

TEST(EventLog, StringsArePaddedConvertedAndEscaped) {
  const std::vector<StringsCase> cases = {
      {"none", {}, {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
      {"two", {"A", "B"}, {"A", "B", std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
      {"null in the middle", {"A", std::nullopt, "C"}, {"A", std::nullopt, "C", std::nullopt, std::nullopt, std::nullopt}},
      {"windows-1252 to utf-8", {"Z\xFCrich \x80 \x81"}, {"Z\xC3\xBCrich \xE2\x82\xAC \xC2\x81", std::nullopt,
                                                          std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
      {"json escapes", {"q\"b\\n\nt\tc\x01"}, {"q\"b\\n\nt\tc\x01", std::nullopt, std::nullopt, std::nullopt,
                                               std::nullopt, std::nullopt}},
      {"empty text is not null", {""}, {"", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
      {"ends at a zero byte", {std::string_view("ab\0cd", 5)}, {"ab", std::nullopt, std::nullopt, std::nullopt,
                                                                 std::nullopt, std::nullopt}},
      {"more than six", {"1", "2", "3", "4", "5", "6", "7"}, {"1", "2", "3", "4", "5", "6", "7"}},
  };
  test::TempRoot root;
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_TRUE(source);
  for (const StringsCase& c : cases) ASSERT_TRUE(source->report(kEventLogInformationType, 0, 1, c.given)) << c.label;
  const auto events = test::readEvents(root.path());
  ASSERT_EQ(events.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(events[i].strings, cases[i].logged) << cases[i].label;
    EXPECT_EQ(events[i].type, "information");
  }
}

TEST(EventLog, TypeCategoryAndIdAreRecorded) {
  test::TempRoot root;
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_TRUE(source);
  ASSERT_TRUE(source->report(kEventLogErrorType, 3, 4242, Strings{}));
  ASSERT_TRUE(source->report(kEventLogInformationType, 0, 1, Strings{}));
  EXPECT_FALSE(source->report(77, 0, 1, Strings{}));
  EXPECT_EQ(lastError(), kErrorInvalidParameter);
  const auto events = test::readEvents(root.path());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, "error");
  EXPECT_EQ(events[0].category, 3u);
  EXPECT_EQ(events[0].id, 4242u);
  EXPECT_EQ(events[0].source, "VORN");
  EXPECT_EQ(events[1].type, "information");
}

TEST(EventLog, LogFolderAndFileAreCreatedWithTheirModes) {
  test::TempRoot root;
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_TRUE(source);
  struct stat folder {};
  ASSERT_EQ(::stat((root.path() / "log").c_str(), &folder), 0);
  EXPECT_TRUE(S_ISDIR(folder.st_mode));
  struct stat file {};
  ASSERT_EQ(::stat((root.path() / "log" / "events.jsonl").c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0022, 0u);  // never writable by others
}

TEST(EventLog, RegistrationFailsOnlyWhenTheLogCannotBeOpened) {
  test::TempRoot root;
  // A folder where the log file belongs cannot be opened for appending.
  std::filesystem::create_directories(root.path() / "log" / "events.jsonl");
  EXPECT_FALSE(systemEventLog().registerSource("VORN"));
  EXPECT_NE(lastError(), kErrorSuccess);
}

TEST(EventLog, RegistrationFailsWhenTheRootCannotBeMade) {
  test::TempRoot root;
  std::ofstream(root.path() / "blocker") << "x";
  ::setenv("VORNPRINT_ROOT", (root.path() / "blocker" / "inner").c_str(), 1);
  EXPECT_FALSE(systemEventLog().registerSource("VORN"));
}

TEST(EventLog, ConcurrentWritersNeverInterleaveLines) {
  test::TempRoot root;
  constexpr int kThreads = 4;
  constexpr int kEvents = 200;
  const std::string longText(3000, 'x');
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&longText, t] {
      auto source = systemEventLog().registerSource("VORN");  // each writer its own descriptor
      ASSERT_TRUE(source);
      const std::string tag = std::to_string(t);
      for (int i = 0; i < kEvents; ++i) source->report(kEventLogInformationType, 0, 1, Strings{tag, longText});
    });
  }
  for (auto& w : writers) w.join();
  const auto events = test::readEvents(root.path());  // throws on a torn line
  EXPECT_EQ(events.size(), static_cast<std::size_t>(kThreads * kEvents));
  for (const auto& e : events) EXPECT_EQ(e.strings[1], longText);
}

}  // namespace
}  // namespace vorn::platform
