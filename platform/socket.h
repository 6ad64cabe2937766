// Non-blocking stream sockets: TCP and local (same-machine) stream endpoints.
// Stands for: Winsock (getaddrinfo, socket, connect, send, recv, listen,
// accept, select) and, for local endpoints, a byte-mode named pipe
// \\.\pipe\<name> (CreateNamedPipeA, ConnectNamedPipe, CreateFileA).
//
// Results are Winsock error codes (0 on success, kWsaEWouldBlock when the
// operation would have to wait), so that a caller reports the same codes on
// every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// A listening endpoint; destroying it closes it (and a local endpoint's name
// becomes free again).
class StreamListener {
 public:
  virtual ~StreamListener() = default;

  // Takes one waiting connection (non-blocking itself); kWsaEWouldBlock when
  // none is waiting.
  virtual std::uint32_t accept(std::unique_ptr<StreamSocket>& peer) = 0;

  // Where it listens, for people to read: "127.0.0.1:5001", or where the
  // platform keeps the local endpoint.
  virtual std::string description() const = 0;

  // The TCP port it listens on (useful after binding port 0); 0 for a local endpoint.
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

// Starts a connect to the local stream endpoint called `name` (e.g.
// "termlink-5001") without waiting. kWsaEConnRefused when nobody listens
// under the name; kErrorFileNotFound when no such endpoint exists;
// kErrorInvalidName for a name the platform cannot hold; kErrorPathNotFound
// or kErrorFilenameExcedRange when the platform cannot reach its endpoints.
std::uint32_t startLocalConnect(std::string_view name, std::unique_ptr<StreamSocket>& socket);

// Listens for TCP connections on `bindAddress`:`port` (port 0 picks a free one).
std::uint32_t listenTcp(std::string_view bindAddress, std::uint16_t port,
                        std::unique_ptr<StreamListener>& listener);

// Listens on the local stream endpoint called `name`; anyone on the machine
// may connect. A name left behind by a listener that is gone is taken over;
// one with a live listener gives kWsaEAddrInUse. Other failures as for
// startLocalConnect.
std::uint32_t listenLocal(std::string_view name, std::unique_ptr<StreamListener>& listener);

// Waits until `socket` is ready for `interest` (kReadable, kWritable) or
// `timeoutMs` passes (negative: no limit). Returns the readiness found, 0 on
// timeout; errors and hang-ups count as readable.
unsigned waitReady(StreamSocket& socket, unsigned interest, int timeoutMs);
// Waits until a connection waits on `listener` (kReadable) or `timeoutMs` passes.
unsigned waitReady(StreamListener& listener, int timeoutMs);

// This machine's host name (gethostname); empty when it cannot be obtained.
std::string localHostName();

}  // namespace vorn::platform
