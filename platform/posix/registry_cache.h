// What the POSIX registry tells about its kept copy of the registry file.
#pragma once

#include <cstdint>

namespace vorn::platform::posix {

// How often this process has parsed the registry file so far: once per
// version of the file that a key open met. For tests and diagnostics.
std::uint64_t registryParseCount();

}  // namespace vorn::platform::posix
