// The clocks on Windows: the system time as a FILETIME, GetTickCount64 and
// Sleep, the latter two under the time scale.
#include "platform/clock.h"

#include <windows.h>

#include <array>
#include <charconv>
#include <string_view>

#include "platform/win32/time_scale.h"

namespace vorn::platform {
namespace {

constexpr unsigned kMaxTimeScale = 1000;

// Read on first use, from inside waits and sleeps, which leave the caller's
// last error as it was: looking up an absent variable sets ERROR_ENVVAR_NOT_FOUND.
unsigned readTimeScale() {
  const DWORD callersError = ::GetLastError();
  std::array<char, 16> text{};
  const DWORD length = ::GetEnvironmentVariableA("VORNPRINT_TIME_SCALE", text.data(), static_cast<DWORD>(text.size()));
  ::SetLastError(callersError);
  if (length == 0 || length >= text.size()) return 1;
  const std::string_view value(text.data(), length);
  unsigned scale = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), scale);
  if (ec != std::errc() || end != value.data() + value.size() || scale < 1 || scale > kMaxTimeScale) return 1;
  return scale;
}

class Win32Clock final : public Clock {
 public:
  std::uint64_t systemTimeAsFileTime() override {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  }

  std::uint64_t tickCount64() override { return ::GetTickCount64() * timeScale(); }

  void sleep(std::uint32_t milliseconds) override { ::Sleep(win32::scaledMilliseconds(milliseconds)); }
};

}  // namespace

Clock& systemClock() {
  static Win32Clock clock;  // stateless
  return clock;
}

unsigned timeScale() {
  static const unsigned scale = readTimeScale();
  return scale;
}

}  // namespace vorn::platform
