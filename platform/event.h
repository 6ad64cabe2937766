// Events: signalled by one thread or process, waited for by another.
// Stands for: CreateEventA, SetEvent, ResetEvent, SetHandleInformation
// (HANDLE_FLAG_INHERIT), CloseHandle; and an event handle inherited from the
// parent process.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/wait.h"

namespace vorn::platform {

class Event : public Waitable {
 public:
  // SetEvent / ResetEvent; false with the last error set on failure.
  virtual bool set() = 0;
  virtual bool reset() = 0;

  // SetHandleInformation(HANDLE_FLAG_INHERIT): whether a process created
  // with this event as its inherited event (child_process.h) receives it.
  virtual bool setInheritable(bool inheritable) = 0;

  // The number by which a child process that inherits this event knows it,
  // for the child's environment: the handle value on Windows, the descriptor
  // the child receives (3) on POSIX.
  virtual std::uint32_t inheritedHandleValue() const = 0;
};

// CreateEventA(default security, manualReset, initiallySignalled, no name),
// with the handle inheritable when `inheritable`. 0 with `event` set, or the
// Win32 code of the failure (also the last error) with `event` empty.
// A wait (wait.h) for a signalled auto-reset event resets it.
//
// On POSIX an event created inheritable is, in the child that inherits it,
// also signalled (for good) once this process has ended, however it ended:
// so a child can end with its creator. Windows keeps such an event alive in
// the child; there the creator's end is a job object's (child_process.h).
std::uint32_t createEvent(bool manualReset, bool initiallySignalled, bool inheritable,
                          std::unique_ptr<Event>& event);

// The event this process inherited under `handleValue` (the number its
// parent passed it, see Event::inheritedHandleValue), treated as an
// auto-reset event that this process only waits for; null when
// `handleValue` names no event of this process (on POSIX: descriptor
// `handleValue` is neither an eventfd nor a pipe's read end), which is then
// left alone. The object takes the handle over: take it once.
std::unique_ptr<Event> inheritedEvent(std::uint32_t handleValue);

}  // namespace vorn::platform
