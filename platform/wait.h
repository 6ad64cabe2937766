// Waiting for kernel objects, for queued calls and for due timers.
// Stands for: WaitForMultipleObjectsEx (wait-all off) and SleepEx.
//
// A thread's alertable wait is where its queued calls (thread.h) and the
// completion routines of the timers it armed (waitable_timer.h) run: they run
// first, on the waiting thread, and the wait then returns kWaitIoCompletion
// (on POSIX also when an object is signalled as well; that object stays
// signalled: an auto-reset event is reset only by the wait that returns it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vorn::platform {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Wait results.
inline constexpr std::uint32_t kWaitObject0 = 0;  // + the index of the signalled object
inline constexpr std::uint32_t kWaitAbandoned0 = 0x80;
inline constexpr std::uint32_t kWaitIoCompletion = 0xC0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

// The most objects one wait takes (MAXIMUM_WAIT_OBJECTS).
inline constexpr std::size_t kMaximumWaitObjects = 64;

// A kernel object a thread can wait for: an event, a process, a thread.
// Destroying the object closes its handle (CloseHandle). Closing an object
// that another thread's wait holds is safe: that wait goes on with what it
// was handed until it returns, and the object is released afterwards.
class Waitable {
 public:
  virtual ~Waitable() = default;

 protected:
  Waitable() = default;
  Waitable(const Waitable&) = default;
  Waitable& operator=(const Waitable&) = default;
};

// WaitForMultipleObjectsEx(count, handles, FALSE, timeoutMs, alertable): waits
// until any one of `objects` (at most kMaximumWaitObjects, none null) is
// signalled, `timeoutMs` passes (kInfinite: never), or, when `alertable`, a
// queued call or a due timer routine of this thread has run. Returns
// kWaitObject0 + the lowest signalled index, kWaitIoCompletion, kWaitTimeout,
// or kWaitFailed with the last error set (kErrorInvalidParameter for too
// many objects or an object of another implementation). Waiting for an
// auto-reset event that is signalled resets it. Timeouts follow the
// platform's time scale (clock.h).
std::uint32_t waitForMultipleObjects(std::span<Waitable* const> objects, std::uint32_t timeoutMs,
                                     bool alertable);

// SleepEx(timeoutMs, alertable): sleeps `timeoutMs` (kInfinite: for ever)
// or, when `alertable`, until queued calls or due timer routines of this
// thread have run. Returns 0 when the time passed, kWaitIoCompletion
// otherwise. The time follows the platform's time scale (clock.h).
std::uint32_t sleepEx(std::uint32_t timeoutMs, bool alertable);

}  // namespace vorn::platform
