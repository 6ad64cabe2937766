// The clocks of the machine and the sleeps measured on them.
// Stands for: GetSystemTimeAsFileTime, GetTickCount64, Sleep.
//
// Time scale, a test aid of the platform layer like VORNPRINT_ROOT: with
// VORNPRINT_TIME_SCALE=<n> (1 to 1000, default 1) in the environment, the
// monotonic clock, sleeps, waits and waitable timers run n times faster, so
// that an end-to-end test sees a 60-second restart in 3 seconds at n = 20.
// The system time (event time stamps, file names) and the named pipes'
// time-outs are not scaled.
#pragma once

#include <cstdint>

namespace vorn::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // GetSystemTimeAsFileTime: current UTC time in 100-ns intervals since
  // 1601-01-01. Never scaled.
  virtual std::uint64_t systemTimeAsFileTime() = 0;
  // GetTickCount64: milliseconds since an arbitrary start, never going back
  // (the system time may be set back; this clock is not). Scaled.
  virtual std::uint64_t tickCount64() = 0;
  // Sleep: the calling thread waits `milliseconds`. Scaled.
  virtual void sleep(std::uint32_t milliseconds) = 0;
};

// The real clocks of the machine.
Clock& systemClock();

// The time scale in force (1 when VORNPRINT_TIME_SCALE is absent or invalid),
// read once per process.
unsigned timeScale();

}  // namespace vorn::platform
