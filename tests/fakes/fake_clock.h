// A clock that shows the time the test sets.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace vorn::fakes {

class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(std::uint64_t fileTime = 0) : now(fileTime) {}
  std::uint64_t systemTimeAsFileTime() override { return now; }
  std::uint64_t now;
};

}  // namespace vorn::fakes
