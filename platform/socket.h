// Non-blocking stream sockets: TCP and local (same-machine) stream sockets.
// Stands for: Winsock (getaddrinfo, socket, connect, send, recv, listen,
// accept, select) and, for local sockets, a named pipe in byte mode.
//
// Results are Winsock error codes (0 on success, kWsaEWouldBlock when the
// operation would have to wait), so that a caller reports the same codes on
// every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/event_loop.h"

namespace vorn::platform {

// A resolved network address (a sockaddr of any family, kept opaque).
struct SocketAddress {
  std::array<std::uint8_t, 128> storage{};
  std::uint32_t length = 0;
};

// A connected (or connecting) stream socket; destroying it closes it.
class StreamSocket {
 public:
  virtual ~StreamSocket() = default;

  // For EventLoop::watch and waitReady.
  virtual NativeSocket nativeHandle() const = 0;

  // Outcome of a connect started without waiting: 0 when connected,
  // kWsaEWouldBlock while still under way, otherwise the Winsock code of the
  // failure (SO_ERROR).
  virtual std::uint32_t connectStatus() = 0;

  // Reads what is there, up to buffer.size() bytes. `got` 0 with result 0
  // means the peer closed the connection in order.
  virtual std::uint32_t receive(std::span<std::uint8_t> buffer, std::size_t& got) = 0;

  // Writes as much of `data` as the socket takes now; `sent` says how much.
  virtual std::uint32_t send(std::span<const std::uint8_t> data, std::size_t& sent) = 0;
};

// A listening socket; destroying it closes it (and removes a local socket's file).
class StreamListener {
 public:
  virtual ~StreamListener() = default;

  virtual NativeSocket nativeHandle() const = 0;

  // Takes one waiting connection (non-blocking itself); kWsaEWouldBlock when
  // none is waiting.
  virtual std::uint32_t accept(std::unique_ptr<StreamSocket>& peer) = 0;

  // Where it listens: "127.0.0.1:5001" or the local socket's path.
  virtual std::string description() const = 0;

  // The TCP port it listens on (useful after binding port 0); 0 for a local socket.
  virtual std::uint16_t port() const = 0;
};

// Resolves a host name or numeric address for a TCP connection, IPv4
// addresses first. kWsaHostNotFound when the name cannot be resolved. May
// block while a name server answers.
std::uint32_t resolveHost(std::string_view host, std::uint16_t port,
                          std::vector<SocketAddress>& addresses);

// Starts a TCP connect to one address without waiting for it. A connection
// refused at once is still reported here; otherwise watch the socket for
// writable readiness and read connectStatus().
std::uint32_t startConnect(const SocketAddress& address, std::unique_ptr<StreamSocket>& socket);

// Starts a connect to a local stream socket at `path` without waiting.
// kWsaEConnRefused when nothing listens there; kErrorFileNotFound when no
// socket exists at the path; kErrorFilenameExcedRange when the path is too long.
std::uint32_t startLocalConnect(const std::filesystem::path& path,
                                std::unique_ptr<StreamSocket>& socket);

// Listens for TCP connections on `bindAddress`:`port` (port 0 picks a free one).
std::uint32_t listenTcp(std::string_view bindAddress, std::uint16_t port,
                        std::unique_ptr<StreamListener>& listener);

// Listens on a local stream socket at `path` (mode 0666, anyone may connect).
// A stale socket file that nobody listens on is replaced; one with a live
// listener gives kWsaEAddrInUse.
std::uint32_t listenLocal(const std::filesystem::path& path,
                          std::unique_ptr<StreamListener>& listener);

// The local stream socket called `name` in the machine's pipe folder (created
// on demand): where "\\.\pipe\<name>" would be.
std::filesystem::path localStreamPath(std::string_view name);

// Waits until `socket` is ready for `interest` (kReadable, kWritable) or
// `timeoutMs` passes (negative: no limit). Returns the readiness found, 0 on
// timeout; errors and hang-ups count as readable.
unsigned waitReady(NativeSocket socket, unsigned interest, int timeoutMs);

// This machine's host name (gethostname); empty when it cannot be obtained.
std::string localHostName();

}  // namespace vorn::platform
