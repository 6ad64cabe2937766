// An event on POSIX: an eventfd whose counter is non-zero while the event is
// signalled. Shared between the Event object, the waits that hold it and the
// process creation that hands it to a child.
#pragma once

#include <atomic>
#include <memory>

#include "platform/event.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/waitable_object.h"

namespace vorn::platform::posix {

class EventState final : public WaitState {
 public:
  // `eventFd`: a non-blocking eventfd.
  EventState(UniqueFd eventFd, bool manualReset, bool inheritable)
      : fd_(std::move(eventFd)), manualReset_(manualReset), inheritable_(inheritable) {}

  int descriptor() const override { return fd_.get(); }

  // A manual-reset event stays signalled; an auto-reset one is reset by the
  // one caller whose read finds it signalled.
  bool acquire() override;

  // Signal / unsignal; false with errno set.
  bool set();
  bool reset();

  bool inheritable() const { return inheritable_.load(); }
  void setInheritable(bool inheritable) { inheritable_.store(inheritable); }

 private:
  UniqueFd fd_;
  bool manualReset_;
  std::atomic<bool> inheritable_;
};

// The state of an event of this implementation; null for another's.
std::shared_ptr<EventState> eventStateOf(const Event& event);

}  // namespace vorn::platform::posix
