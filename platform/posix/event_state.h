// An event on POSIX: a descriptor that polls readable while the event is
// signalled. Shared between the Event object, the waits that hold it and the
// process creation that hands it to a child.
//
// An event of this process alone is an eventfd whose counter is non-zero
// while it is signalled. An event made to be inherited is a pipe: the child
// receives the read end, this process alone keeps the write end, and "set"
// writes a byte. The kernel closes the write end when this process ends, in
// whatever way: the child then reads the pipe's end, and the event stays
// signalled for good. So a child learns of its creator's end as of a set.
#pragma once

#include <atomic>
#include <memory>

#include "platform/event.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/waitable_object.h"

namespace vorn::platform::posix {

class EventState final : public WaitState {
 public:
  // An eventfd, non-blocking.
  EventState(UniqueFd eventFd, bool manualReset, bool inheritable)
      : fd_(std::move(eventFd)), manualReset_(manualReset), inheritable_(inheritable) {}
  // A pipe's ends, non-blocking; `writeEnd` empty for an event inherited
  // from the process that holds it.
  EventState(UniqueFd readEnd, UniqueFd writeEnd, bool manualReset, bool inheritable)
      : fd_(std::move(readEnd)),
        writeFd_(std::move(writeEnd)),
        pipe_(true),
        manualReset_(manualReset),
        inheritable_(inheritable) {}

  int descriptor() const override { return fd_.get(); }

  // A manual-reset event stays signalled; an auto-reset one is reset by the
  // one caller whose read finds it signalled. A pipe whose write end is gone
  // stays signalled.
  bool acquire() override;

  // Signal / unsignal; false with errno set.
  bool set();
  bool reset();

  bool inheritable() const { return inheritable_.load(); }
  void setInheritable(bool inheritable) { inheritable_.store(inheritable); }

 private:
  // Reads what the pipe holds: true when it held a byte or its end.
  bool drainPipe();

  UniqueFd fd_;       // the eventfd, or the pipe's read end
  UniqueFd writeFd_;  // the pipe's write end, in the process that made it
  bool pipe_ = false;
  bool manualReset_;
  std::atomic<bool> inheritable_;
};

// The state of an event of this implementation; null for another's.
std::shared_ptr<EventState> eventStateOf(const Event& event);

}  // namespace vorn::platform::posix
