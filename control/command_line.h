// spoolcmd's command line: the command word, and the profile of run and kill.
#pragma once

#include <span>
#include <string>
#include <variant>

namespace vorn {

enum class CommandWord { Help, Version, Create, Delete, Start, Stop, Show, Run, Kill };

struct Command {
  CommandWord word = CommandWord::Help;
  std::string profileName;  // run and kill: what follows "/profile=" (at most 91 characters)
};

// A command line that is refused: the text of its "*** error: " line.
struct CommandLineError {
  std::string message;
};

// Reads the arguments after the program's name (8-bit texts). The command
// word is cut to 20 characters and compared in lower case; the profile
// argument is cut to 100 characters and must begin with exactly "/PROFILE="
// or "/profile=".
std::variant<Command, CommandLineError> ParseCommandLine(std::span<const std::string> arguments);

}  // namespace vorn
