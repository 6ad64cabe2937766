#include "agent/jobs/report_name.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn {
namespace {

using namespace std::string_literals;

TEST(ReportName, TrimsOnlyTrailingBlanks) {
  EXPECT_EQ(trimTrailingBlanks("AB  "), "AB");
  EXPECT_EQ(trimTrailingBlanks("  A B "), "  A B");
  EXPECT_EQ(trimTrailingBlanks("    "), "");
  EXPECT_EQ(trimTrailingBlanks(""), "");
  EXPECT_EQ(trimTrailingBlanks("A\t "), "A\t");
  EXPECT_EQ(trimTrailingBlanks("A\0 "s), "A\0"s);
}

struct SanitiseCase {
  std::string name;
  bool jetform;
  std::string expected;
};

TEST(ReportName, ReplacesEveryReservedCharacter) {
  const SanitiseCase cases[] = {
      {"A/B:C D", true, "A_B_C_D"},
      {"A/B:C D", false, "A+B+C D"},
      {R"(\/:*?"<>|)", false, "+++++++++"},
      {R"(\/:*?"<>|)", true, "_________"},
      {"a\0b"s, false, "a+b"},
      {"a\0b"s, true, "a_b"},
      {"..", false, ".."},
      {"x-y_z+\xe9", true, "x-y_z+\xe9"},
  };
  for (const auto& c : cases) EXPECT_EQ(sanitiseName(c.name, c.jetform), c.expected) << c.name;
}

TEST(ReportName, FormKeepsBlanksAndLosesOnlyWhatAFileNameCannotHold) {
  const SanitiseCase cases[] = {
      {"A B", true, "A B"},
      {" AB", false, " AB"},
      {R"(/\:*)", true, "____"},
      {R"(?"<>|)", false, "+++++"},
      {"A\tB\x7f"s, true, "A_B_"},
      {"a\0b"s, false, "a+b"},
      {"..", false, "++"},
      {"...", true, "___"},
      {"A..", true, "A.."},
      {".\xe9", false, ".\xe9"},
  };
  for (const auto& c : cases) EXPECT_EQ(fileNameForm(c.name, c.jetform), c.expected) << c.name;
}

}  // namespace
}  // namespace vorn
