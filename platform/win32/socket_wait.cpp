// Waiting for one stream object without a loop: select for a Winsock socket,
// WaitForMultipleObjects on the overlapped operations of a pipe stream.
#include "platform/socket.h"

#include <windows.h>

#include <vector>

#include "platform/win32/loop_sources.h"
#include "platform/win32/winsock.h"

namespace vorn::platform {
namespace {

unsigned waitOverlapped(win32::OverlappedObject& object, unsigned interest, int timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
  std::vector<HANDLE> handles;
  for (;;) {
    if (const unsigned ready = object.readyFor(interest)) return ready;
    handles.clear();
    object.appendWaitHandles(handles);
    DWORD wait = INFINITE;
    if (timeoutMs >= 0) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return 0;
      wait = static_cast<DWORD>(deadline - now);
    }
    // Nothing under way that could change the answer (or too much to wait
    // for): report ready, so that the caller's next call says what is wrong.
    if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) return kReadable;
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    if (result == WAIT_TIMEOUT) return 0;
    if (result == WAIT_FAILED) return kReadable;
  }
}

template <typename Object>
unsigned waitObject(Object& object, unsigned interest, int timeoutMs) {
  if (auto* socket = win32::loopSourceOf<win32::WinsockObject>(object))
    return win32::selectReadiness(socket->socketHandle(), interest, timeoutMs) & (interest | kReadable);
  if (auto* stream = win32::loopSourceOf<win32::OverlappedObject>(object))
    return waitOverlapped(*stream, interest, timeoutMs);
  // An object of another implementation: ready at once, so that the caller's
  // next call on it says what is wrong instead of a wait without end.
  return kReadable;
}

}  // namespace

unsigned waitReady(StreamSocket& socket, unsigned interest, int timeoutMs) {
  return waitObject(socket, interest, timeoutMs);
}

unsigned waitReady(StreamListener& listener, int timeoutMs) { return waitObject(listener, kReadable, timeoutMs); }

}  // namespace vorn::platform
