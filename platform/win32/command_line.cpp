#include "platform/win32/command_line.h"

namespace vorn::platform::win32 {
namespace {

constexpr std::string_view kBlanks = " \t";

// The length of the program's name at the start, quotes included.
std::size_t programLength(std::string_view commandLine) {
  if (!commandLine.empty() && commandLine.front() == '"') {
    const std::size_t close = commandLine.find('"', 1);
    return close == std::string_view::npos ? commandLine.size() : close + 1;
  }
  const std::size_t blank = commandLine.find_first_of(kBlanks);
  return blank == std::string_view::npos ? commandLine.size() : blank;
}

}  // namespace

std::string_view commandLineAfterProgram(std::string_view commandLine) {
  std::string_view tail = commandLine.substr(programLength(commandLine));
  const std::size_t start = tail.find_first_not_of(kBlanks);
  return start == std::string_view::npos ? std::string_view{} : tail.substr(start);
}

std::string_view programOfCommandLine(std::string_view commandLine) {
  std::string_view program = commandLine.substr(0, programLength(commandLine));
  if (!program.empty() && program.front() == '"') {
    program.remove_prefix(1);
    if (!program.empty() && program.back() == '"') program.remove_suffix(1);
  }
  return program;
}

}  // namespace vorn::platform::win32
