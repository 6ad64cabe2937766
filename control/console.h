// spoolcmd's output: its texts on standard output, and its two ways of
// ending with an error (exit code 1).
#pragma once

#include <string_view>

namespace vorn {

// The help text, both pieces.
extern const std::string_view kHelpText;

// "*** error: <text>\n", then the end of the program with exit code 1.
[[noreturn]] void ExitWithError(std::string_view text);

// ExitWithError with "<text>,\n  last error: <code> <the system's text for it>"
// for the calling thread's last error.
[[noreturn]] void ExitWithSystemError(std::string_view text);

}  // namespace vorn
