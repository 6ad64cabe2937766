// The C runtime's copy of the environment (getenv) and the process's own
// (GetEnvironmentVariableA, what child processes inherit) are both changed.
#include "tests/support/environment.h"

#include <windows.h>

#include <cstdlib>
#include <system_error>

namespace vorn::test {

void setEnvironmentVariable(const std::string& name, const std::string& value) {
  if (::_putenv_s(name.c_str(), value.c_str()) != 0 || !::SetEnvironmentVariableA(name.c_str(), value.c_str())) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "set " + name);
  }
}

void unsetEnvironmentVariable(const std::string& name) {
  ::_putenv_s(name.c_str(), "");
  ::SetEnvironmentVariableA(name.c_str(), nullptr);
}

}  // namespace vorn::test
