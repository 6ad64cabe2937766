#include "agent/app/command_line.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/process.h"

namespace vorn {
namespace {

struct ProfileNameCase {
  const char* commandLine;
  const char* expected;
};

class ProfileNameTest : public testing::TestWithParam<ProfileNameCase> {};

TEST_P(ProfileNameTest, ReadsTheQuotedNameAfterTheFirstOption) {
  EXPECT_EQ(ProfileNameFromCommandLine(GetParam().commandLine), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ProfileNameTest,
    testing::Values(
        ProfileNameCase{R"(/profile="laser1")", "laser1"},
        // The whole line is lower-cased first: the option may be in capitals, the name comes out lower case.
        ProfileNameCase{R"(/PROFILE="Laser One")", "laser one"},
        ProfileNameCase{R"(-x /Profile="A" /profile="b")", "a"},  // only the first option counts
        ProfileNameCase{R"(/profile=laser1)", ""},                 // no opening quote
        ProfileNameCase{R"(/profile= "laser1")", ""},              // the quote must follow at once
        ProfileNameCase{R"(/profile="")", ""},                     // empty name
        ProfileNameCase{R"(/profile="laser1)", ""},                // no closing quote
        ProfileNameCase{R"(/profile=)", ""},                       // cut after the option
        ProfileNameCase{"", ""},
        ProfileNameCase{R"(profile="laser1")", ""},  // no slash
        // Windows-1252 capitals are lower-cased too.
        ProfileNameCase{"/profile=\"\xC9TAGE\"", "\xE9tage"}));

TEST(CommandLineTail, JoinsArgumentsWithBlanksInTheAnsiCodePage) {
  const std::array<const char*, 4> argv = {"spoolagent", "/profile=\"a b\"", "x", "\xC3\xA9"};  // é in UTF-8
  EXPECT_EQ(platform::commandLineTail(static_cast<int>(argv.size()), argv.data()), "/profile=\"a b\" x \xE9");
  EXPECT_EQ(platform::commandLineTail(1, argv.data()), "");
}

}  // namespace
}  // namespace vorn
