// Where the program's name ends on a Windows command line.
#pragma once

#include <string_view>

namespace vorn::platform::win32 {

// The part of `commandLine` after the program's name and the blanks that
// follow it, untouched. The name ends as Windows finds its end: a name that
// starts with a quote runs to the next quote (no escapes), any other name to
// the first blank or tab.
std::string_view commandLineAfterProgram(std::string_view commandLine);

// The program's name at the start of `commandLine`, without its quotes.
std::string_view programOfCommandLine(std::string_view commandLine);

}  // namespace vorn::platform::win32
