#include "control/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn {
namespace {

struct Case {
  std::vector<std::string> arguments;
  std::string expected;  // "word[:profile]" or "error: message"
};

std::string outcome(const std::vector<std::string>& arguments) {
  const auto parsed = ParseCommandLine(arguments);
  if (const auto* refused = std::get_if<CommandLineError>(&parsed)) return "error: " + refused->message;
  const Command& command = std::get<Command>(parsed);
  static const char* const kNames[] = {"help", "version", "create", "delete", "start", "stop", "show", "run", "kill"};
  std::string text = kNames[static_cast<int>(command.word)];
  if (command.word == CommandWord::Run || command.word == CommandWord::Kill) text += ":" + command.profileName;
  return text;
}

TEST(SpoolcmdCommandLine, WordsProfilesAndRefusals) {
  const std::string longName(95, 'n');
  const std::vector<Case> cases = {
      {{}, "help"},
      {{"HELP", "anything", "more"}, "help"},
      {{"/H"}, "help"},
      {{"?"}, "help"},
      {{"/?"}, "help"},
      {{"--VERSION"}, "version"},
      {{"--version", "x"}, "error: called with too many parameters"},
      {{"-version"}, "error: called with invalid parameter"},
      {{"Show"}, "show"},
      {{"SHOW", "x"}, "error: called with too many parameters"},
      {{"create", "x"}, "error: called with too many parameters"},
      {{"stop"}, "stop"},
      {{"run"}, "error: /profile= parameter required"},
      {{"kill", "/profile=A", "B"}, "error: called with too many parameters"},
      {{"run", "/PROFILE=Laser 1"}, "run:Laser 1"},
      {{"kill", "/profile=laser1"}, "kill:laser1"},
      {{"run", "/Profile=x"}, "error: invalid /profile= parameter"},
      {{"run", "/PROFILE"}, "error: invalid /profile= parameter"},
      {{"run", "/profile="}, "run:"},
      // Cut to 100 characters before the prefix is taken off: 91 remain.
      {{"run", "/profile=" + longName}, "run:" + longName.substr(0, 91)},
      {{"frob"}, "error: called with invalid parameter"},
      // Cut to 20 characters before the comparison.
      {{"showshowshowshowshowshow"}, "error: called with invalid parameter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(outcome(c.arguments), c.expected);
  }
}

}  // namespace
}  // namespace vorn
