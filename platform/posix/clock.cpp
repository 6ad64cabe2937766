// The system clock on POSIX, as a FILETIME.
#include "platform/clock.h"

#include <ctime>

namespace vorn::platform {
namespace {

// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600ULL;
constexpr std::uint64_t kIntervalsPerSecond = 10000000ULL;

class PosixClock final : public Clock {
 public:
  std::uint64_t systemTimeAsFileTime() override {
    timespec now{};
    // CLOCK_REALTIME cannot fail with a valid clock id and pointer.
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<std::uint64_t>(now.tv_sec) + kEpochDifferenceSeconds) * kIntervalsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec) / 100;
  }
};

}  // namespace

Clock& systemClock() {
  static PosixClock clock;  // stateless
  return clock;
}

}  // namespace vorn::platform
