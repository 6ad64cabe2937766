// The clocks on POSIX: the system time as a FILETIME, CLOCK_MONOTONIC for the
// tick count and sleeps, both of the latter under the time scale.
#include "platform/clock.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace vorn::platform {
namespace {

// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600ULL;
constexpr std::uint64_t kIntervalsPerSecond = 10000000ULL;
constexpr unsigned kMaxTimeScale = 1000;

unsigned readTimeScale() {
  const char* text = std::getenv("VORNPRINT_TIME_SCALE");
  if (text == nullptr) return 1;
  const std::string_view value(text);
  unsigned scale = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), scale);
  if (ec != std::errc() || end != value.data() + value.size() || scale < 1 || scale > kMaxTimeScale) return 1;
  return scale;
}

class PosixClock final : public Clock {
 public:
  std::uint64_t systemTimeAsFileTime() override {
    timespec now{};
    // CLOCK_REALTIME cannot fail with a valid clock id and pointer.
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<std::uint64_t>(now.tv_sec) + kEpochDifferenceSeconds) * kIntervalsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec) / 100;
  }

  std::uint64_t tickCount64() override {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
    return ms * timeScale();
  }

  void sleep(std::uint32_t milliseconds) override {
    // Nanoseconds of real time: the scaled duration, rounded up so that a
    // sleep never ends early on the scaled clock.
    const std::uint64_t nanoseconds =
        (static_cast<std::uint64_t>(milliseconds) * 1000000 + timeScale() - 1) / timeScale();
    timespec left{static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
  }
};

}  // namespace

Clock& systemClock() {
  static PosixClock clock;  // stateless
  return clock;
}

unsigned timeScale() {
  static const unsigned scale = readTimeScale();
  return scale;
}

}  // namespace vorn::platform
