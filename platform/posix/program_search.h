// Where a program named on a command line is found on POSIX: as
// CreateProcessA searches without an application name, first in the folder
// of this process's program file, then on PATH; never in the current folder.
#pragma once

#include <string>
#include <string_view>

namespace vorn::platform::posix {

// The path of the executable file `program` (UTF-8) stands for, or empty
// when there is none. A name with a slash is a path and is not searched for.
// PATH entries that are empty or relative are skipped: they would name the
// current folder.
std::string findProgram(std::string_view program);

}  // namespace vorn::platform::posix
