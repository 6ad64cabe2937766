// This process's environment variables, set and removed by tests.
#pragma once

#include <string>

namespace vorn::test {

// Sets `name` to `value`; throws std::system_error on failure.
void setEnvironmentVariable(const std::string& name, const std::string& value);

// Removes `name`; nothing happens when it is not set.
void unsetEnvironmentVariable(const std::string& name);

}  // namespace vorn::test
