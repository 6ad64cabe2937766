// Paths as the system composes them (8-bit Windows-1252 text, backslashes as
// folder separators) turned into paths of this machine (UTF-8, slashes), so
// every part of the platform names the same file for the same system path.
#pragma once

#include <string>
#include <string_view>

namespace vorn::platform::posix {

std::string hostPath(std::string_view systemPath);

}  // namespace vorn::platform::posix
