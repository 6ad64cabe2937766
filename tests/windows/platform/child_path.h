// Where the tests find platform_child.exe: beside the test program.
#pragma once

#include <string>

#include "platform/process.h"

namespace vorn::test {

inline std::string childProgram() {
  const std::string self = platform::moduleFileName();
  return self.substr(0, self.find_last_of("\\/") + 1) + "platform_child.exe";
}

}  // namespace vorn::test
