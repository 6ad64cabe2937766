// A clock that shows the time the test sets; sleeping moves it on at once.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace vorn::fakes {

class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(std::uint64_t fileTime = 0) : now(fileTime) {}
  std::uint64_t systemTimeAsFileTime() override { return now; }
  std::uint64_t tickCount64() override { return ticks; }
  void sleep(std::uint32_t milliseconds) override {
    ticks += milliseconds;
    now += std::uint64_t{milliseconds} * 10000;
    slept += milliseconds;
  }

  std::uint64_t now;         // FILETIME
  std::uint64_t ticks = 0;   // milliseconds
  std::uint64_t slept = 0;   // milliseconds, all sleeps together
};

}  // namespace vorn::fakes
