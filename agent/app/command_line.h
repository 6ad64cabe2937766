// How the agent finds its profile's name on its command line.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// The profile name: the command line is lower-cased, the first "/profile="
// must be followed by a double quote, and the name runs up to the next double
// quote. Empty when any of that is missing or the name would be empty.
std::string ProfileNameFromCommandLine(std::string_view commandLine);

}  // namespace vorn
