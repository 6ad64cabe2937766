// The system clock.
// Stands for: GetSystemTimeAsFileTime.
#pragma once

#include <cstdint>

namespace vorn::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Current UTC time as a FILETIME: 100-ns intervals since 1601-01-01.
  virtual std::uint64_t systemTimeAsFileTime() = 0;
};

// The real clock of the machine.
Clock& systemClock();

}  // namespace vorn::platform
