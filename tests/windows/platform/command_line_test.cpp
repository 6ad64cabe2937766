#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

namespace vorn::platform::win32 {
namespace {

struct CommandLineCase {
  const char* line;
  const char* program;
  const char* tail;
};

TEST(Win32CommandLine, FindsTheProgramsEndAsWindowsDoes) {
  const CommandLineCase cases[] = {
      {"spoolagent /profile=\"Laser 1\"", "spoolagent", "/profile=\"Laser 1\""},
      {"\"C:\\Program Files\\Vorn\\spoolagent.exe\" /profile=\"a\"", "C:\\Program Files\\Vorn\\spoolagent.exe",
       "/profile=\"a\""},
      {"spoolagent\t \t/x  y ", "spoolagent", "/x  y "},
      {"\"a b\"c d", "a b", "c d"},  // the name ends at its closing quote
      {"spoolagent", "spoolagent", ""},
      {"\"unterminated name", "unterminated name", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(programOfCommandLine(c.line), c.program);
    EXPECT_EQ(commandLineAfterProgram(c.line), c.tail);
  }
}

}  // namespace
}  // namespace vorn::platform::win32
