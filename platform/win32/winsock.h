// Winsock for the stream sockets: started once per process, sockets owned by
// RAII, and readiness asked of the system with select.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <utility>

namespace vorn::platform::win32 {

// WSAStartup(2.2), once for the process; 0 or the code of its failure (every
// later call gives the same answer). WSACleanup runs at the process's end.
std::uint32_t startWinsock();

// WSAGetLastError of the calling thread.
inline std::uint32_t lastSocketError() { return static_cast<std::uint32_t>(::WSAGetLastError()); }

// A Winsock socket, closed with closesocket.
class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  ~UniqueSocket() { reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) reset(std::exchange(other.socket_, INVALID_SOCKET));
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;

  SOCKET get() const { return socket_; }
  bool valid() const { return socket_ != INVALID_SOCKET; }

  // Closes the socket held (a failed close leaves nothing to do) and takes `socket`.
  void reset(SOCKET socket = INVALID_SOCKET) {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = socket;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// Puts `socket` into non-blocking mode (ioctlsocket FIONBIO); 0 or the Winsock code.
std::uint32_t makeNonBlocking(SOCKET socket);

// What select says of `socket` within `timeoutMs` (negative: no limit):
// kReadable when data, a connection to accept, a hang-up or an error waits
// (only asked for when `interest` holds kReadable, except errors, which a
// failed connect reports and which always count); kWritable when a send
// would not block. 0 when nothing is ready in time.
unsigned selectReadiness(SOCKET socket, unsigned interest, int timeoutMs);

}  // namespace vorn::platform::win32
