// The time scale of clock.h applied to Win32 time-outs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/clock.h"

namespace vorn::platform::win32 {

// Milliseconds of real time for `milliseconds` on the scaled clock, rounded
// up so that a wait never ends early there; INFINITE stays INFINITE.
inline DWORD scaledMilliseconds(DWORD milliseconds) {
  if (milliseconds == INFINITE) return INFINITE;
  const DWORD scale = timeScale();
  return static_cast<DWORD>((static_cast<std::uint64_t>(milliseconds) + scale - 1) / scale);
}

}  // namespace vorn::platform::win32
