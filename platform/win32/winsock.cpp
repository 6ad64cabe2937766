// Winsock's start for the process, and readiness through select.
#include "platform/win32/winsock.h"

#include "platform/event_loop.h"

namespace vorn::platform::win32 {
namespace {

// WSAStartup when first needed; WSACleanup when the process ends.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data{};
    result_ = static_cast<std::uint32_t>(::WSAStartup(MAKEWORD(2, 2), &data));
  }
  ~WinsockSession() {
    if (result_ == 0) ::WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

  std::uint32_t result() const { return result_; }

 private:
  std::uint32_t result_ = 0;
};

}  // namespace

std::uint32_t startWinsock() {
  static const WinsockSession session;  // process-wide, as Winsock's own state is
  return session.result();
}

std::uint32_t makeNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ::ioctlsocket(socket, FIONBIO, &on) == 0 ? 0 : lastSocketError();
}

unsigned selectReadiness(SOCKET socket, unsigned interest, int timeoutMs) {
  fd_set readable;
  fd_set writable;
  fd_set failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  if (interest & kReadable) FD_SET(socket, &readable);
  if (interest & kWritable) FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval limit{};
  limit.tv_sec = timeoutMs / 1000;
  limit.tv_usec = (timeoutMs % 1000) * 1000;
  // The first argument is ignored by Winsock.
  const int n = ::select(0, &readable, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
  if (n < 0) return kReadable;  // a failed select: let the caller's next call report why
  if (n == 0) return 0;
  unsigned ready = 0;
  if (FD_ISSET(socket, &readable)) ready |= kReadable;
  if (FD_ISSET(socket, &writable)) ready |= kWritable;
  if (FD_ISSET(socket, &failed)) ready |= kReadable | kWritable;  // a connect that failed
  return ready;
}

}  // namespace vorn::platform::win32
