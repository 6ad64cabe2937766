// What the POSIX implementation's waits and event loop need of a platform
// object: the file descriptor it stands on.
#pragma once

namespace vorn::platform::posix {

// Implemented by the POSIX platform objects that an event loop watches
// (sockets, listeners). Objects that can be waited for (events, processes,
// threads) give their shared wait state instead (waitable_object.h), which
// keeps the descriptor open while a wait or a loop holds it.
class HasDescriptor {
 public:
  // The descriptor to poll for readability; the object keeps owning it.
  virtual int descriptor() const = 0;

 protected:
  ~HasDescriptor() = default;
};

// The descriptor of a platform object of this implementation; -1 for an
// object of another implementation (a test's fake).
template <typename Object>
int descriptorOf(const Object& object) {
  const auto* owner = dynamic_cast<const HasDescriptor*>(&object);
  return owner != nullptr ? owner->descriptor() : -1;
}

}  // namespace vorn::platform::posix
