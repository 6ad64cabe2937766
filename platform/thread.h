// Threads of this process and calls queued to them.
// Stands for: CreateThread, QueueUserAPC, CloseHandle of a thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/wait.h"

namespace vorn::platform {

// A thread. It is signalled (wait.h) once its routine has returned.
// Destroying the object closes the handle; the thread runs on.
class Thread : public Waitable {
 public:
  // QueueUserAPC: `call` runs on this thread during one of its alertable
  // waits (wait.h), after the calls queued before it. false, with the last
  // error set, when it cannot be queued (kErrorGenFailure: the thread has
  // ended; calls still queued when it ends are dropped).
  virtual bool queueCall(std::function<void()> call) = 0;
};

// CreateThread with the platform's default stack size (the stack sizes of a
// Windows program are too small for glibc and the sanitizers): starts
// `routine` on a new thread. 0 with `thread` set, or the Win32 code of the
// failure (also set as the last error) with `thread` empty. Calls may be
// queued to the thread from the moment it exists.
std::uint32_t createThread(std::function<void()> routine, std::unique_ptr<Thread>& thread);

}  // namespace vorn::platform
