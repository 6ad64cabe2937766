// The kernel handle behind a Waitable of this implementation, shared with the
// waits that hold it, so that closing the object while another thread waits
// for it leaves that wait a valid handle until it returns.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/wait.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform::win32 {

using SharedHandle = std::shared_ptr<const UniqueHandle>;

class WaitableHandle {
 public:
  virtual SharedHandle sharedHandle() const = 0;

 protected:
  ~WaitableHandle() = default;
};

// The shared handle of `object`, or null when it belongs to another implementation.
inline SharedHandle sharedHandleOf(const Waitable* object) {
  const auto* own = dynamic_cast<const WaitableHandle*>(object);
  return own != nullptr ? own->sharedHandle() : nullptr;
}

inline SharedHandle shareHandle(HANDLE handle) { return std::make_shared<const UniqueHandle>(handle); }

}  // namespace vorn::platform::win32
