// What the POSIX waits hold of an object they wait for: a descriptor that
// polls readable while the object is signalled, and the step that takes the
// signal. Events, processes and threads keep this state in a shared object,
// so that a wait (or an event loop) that holds it can go on polling after
// the object itself was closed on another thread: the descriptor is closed
// only when the last holder lets go.
//
// An event loop watches an object the same way:
//   std::shared_ptr<WaitState> state = waitStateOf(event);  // keep it while watching
//   poll state->descriptor() for POLLIN;
//   when readable: if (state->acquire()) { the event fired (an auto-reset
//   event is reset by this call) } else { another waiter took it: watch on }
#pragma once

#include <memory>

#include "platform/wait.h"

namespace vorn::platform::posix {

class WaitState {
 public:
  virtual ~WaitState() = default;

  // The descriptor to poll for readability; open as long as this state lives.
  virtual int descriptor() const = 0;

  // Called when the descriptor polled readable. true: the object is
  // signalled and this caller has taken the signal (an auto-reset event is
  // reset, an ended process is reaped); false: another waiter took it
  // first, so the caller waits on.
  virtual bool acquire() = 0;
};

// Implemented by every waitable object of the POSIX implementation.
class PosixWaitable {
 public:
  virtual std::shared_ptr<WaitState> waitState() const = 0;

 protected:
  ~PosixWaitable() = default;
};

// The wait state of a waitable object of this implementation; null for an
// object of another implementation (a test's fake).
inline std::shared_ptr<WaitState> waitStateOf(const Waitable& object) {
  const auto* posixObject = dynamic_cast<const PosixWaitable*>(&object);
  return posixObject != nullptr ? posixObject->waitState() : nullptr;
}

}  // namespace vorn::platform::posix
