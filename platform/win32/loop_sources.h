// What the Windows event loop and waitReady need of the platform's stream
// objects: a Winsock socket is watched through WSAAsyncSelect, a named-pipe
// stream through the events of its overlapped operations.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <vector>

namespace vorn::platform::win32 {

// Implemented by the Winsock sockets and listeners.
class WinsockObject {
 public:
  virtual SOCKET socketHandle() const = 0;
  // The network events to ask WSAAsyncSelect for.
  virtual long selectEvents() const = 0;

 protected:
  ~WinsockObject() = default;
};

// Implemented by the named-pipe streams and listeners, whose readiness is
// emulated on overlapped operations.
class OverlappedObject {
 public:
  // Takes the results of the operations that completed, starts those that
  // readiness needs (a read), and says what is ready of `interest`
  // (kReadable, kWritable); an error or the peer's end counts as readable
  // whatever the interest. Never waits.
  virtual unsigned readyFor(unsigned interest) = 0;

  // Appends the events of the operations under way; one of them is signalled
  // when readyFor may have something new to say.
  virtual void appendWaitHandles(std::vector<HANDLE>& handles) const = 0;

 protected:
  ~OverlappedObject() = default;
};

template <typename Interface, typename Object>
Interface* loopSourceOf(Object& object) {
  return dynamic_cast<Interface*>(&object);
}

}  // namespace vorn::platform::win32
