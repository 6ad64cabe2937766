#include "tests/support/environment.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace vorn::test {

void setEnvironmentVariable(const std::string& name, const std::string& value) {
  if (::setenv(name.c_str(), value.c_str(), 1) != 0) throw std::system_error(errno, std::generic_category(), "setenv");
}

void unsetEnvironmentVariable(const std::string& name) { ::unsetenv(name.c_str()); }

}  // namespace vorn::test
