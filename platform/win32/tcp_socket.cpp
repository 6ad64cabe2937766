// TCP stream sockets on Windows through Winsock: getaddrinfo, socket,
// connect without waiting, send, recv, bind, listen, accept, gethostname.
// Every socket is non-blocking; results are Winsock codes.
#include "platform/socket.h"

#include "platform/address_list.h"
#include "platform/win32/loop_sources.h"
#include "platform/win32/winsock.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <string>

namespace vorn::platform {
namespace {

using win32::lastSocketError;
using win32::UniqueSocket;

int clampedLength(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

class WinsockStreamSocket final : public StreamSocket, public win32::WinsockObject {
 public:
  explicit WinsockStreamSocket(UniqueSocket socket) : socket_(std::move(socket)) {}

  SOCKET socketHandle() const override { return socket_.get(); }
  long selectEvents() const override { return FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE; }

  std::uint32_t connectStatus() override {
    const unsigned ready = win32::selectReadiness(socket_.get(), kWritable, 0);
    if (ready == 0) return kWsaEWouldBlock;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
      return lastSocketError();
    if (error != 0) return static_cast<std::uint32_t>(error);
    // Listed as failed without an error left: the peer went at once.
    return (ready & kReadable) ? kWsaEConnReset : 0;
  }

  std::uint32_t receive(std::span<std::uint8_t> buffer, std::size_t& got) override {
    got = 0;
    const int n = ::recv(socket_.get(), reinterpret_cast<char*>(buffer.data()), clampedLength(buffer.size()), 0);
    if (n == SOCKET_ERROR) return lastSocketError();
    got = static_cast<std::size_t>(n);
    return 0;
  }

  std::uint32_t send(std::span<const std::uint8_t> data, std::size_t& sent) override {
    sent = 0;
    const int n = ::send(socket_.get(), reinterpret_cast<const char*>(data.data()), clampedLength(data.size()), 0);
    if (n == SOCKET_ERROR) return lastSocketError();
    sent = static_cast<std::size_t>(n);
    return 0;
  }

 private:
  UniqueSocket socket_;
};

class WinsockStreamListener final : public StreamListener, public win32::WinsockObject {
 public:
  WinsockStreamListener(UniqueSocket socket, std::string description, std::uint16_t port)
      : socket_(std::move(socket)), description_(std::move(description)), port_(port) {}

  SOCKET socketHandle() const override { return socket_.get(); }
  // FD_ACCEPT alone: an accepted socket takes over the listener's selection,
  // and this event never happens on a connected socket.
  long selectEvents() const override { return FD_ACCEPT; }

  std::uint32_t accept(std::unique_ptr<StreamSocket>& peer) override {
    UniqueSocket accepted(::accept(socket_.get(), nullptr, nullptr));
    if (!accepted.valid()) return lastSocketError();
    if (const std::uint32_t error = win32::makeNonBlocking(accepted.get())) return error;
    peer = std::make_unique<WinsockStreamSocket>(std::move(accepted));
    return 0;
  }

  std::string description() const override { return description_; }
  std::uint16_t port() const override { return port_; }

 private:
  UniqueSocket socket_;
  std::string description_;
  std::uint16_t port_;
};

// A new non-blocking stream socket of `family`.
std::uint32_t openSocket(int family, UniqueSocket& socket) {
  socket.reset(::socket(family, SOCK_STREAM, IPPROTO_TCP));
  if (!socket.valid()) return lastSocketError();
  // Not inherited by the programs this one starts.
  if (!::SetHandleInformation(reinterpret_cast<HANDLE>(socket.get()), HANDLE_FLAG_INHERIT, 0))
    return static_cast<std::uint32_t>(::GetLastError());
  return win32::makeNonBlocking(socket.get());
}

using AddressList = std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)>;

// getaddrinfo for a stream socket; null when the name cannot be resolved.
AddressList lookUp(const char* host, std::uint16_t port, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags;
  addrinfo* found = nullptr;
  const std::string portText = std::to_string(port);
  if (::getaddrinfo(host, portText.c_str(), &hints, &found) != 0) found = nullptr;
  return AddressList(found, &::freeaddrinfo);
}

}  // namespace

std::uint32_t resolveHost(std::string_view host, std::uint16_t port, std::vector<SocketAddress>& addresses) {
  addresses.clear();
  if (const std::uint32_t error = win32::startWinsock()) return error;
  const std::string hostText(host);
  if (hostText.empty()) return kWsaHostNotFound;
  const AddressList found = lookUp(hostText.c_str(), port, 0);
  if (!found) return kWsaHostNotFound;
  addresses = addressList(found.get(), AF_INET);
  return addresses.empty() ? kWsaHostNotFound : 0;
}

std::uint32_t startConnect(const SocketAddress& address, std::unique_ptr<StreamSocket>& socket) {
  socket.reset();
  if (const std::uint32_t error = win32::startWinsock()) return error;
  sockaddr_storage storage{};
  if (address.length < sizeof(ADDRESS_FAMILY) || address.length > sizeof storage) return kWsaHostNotFound;
  std::memcpy(&storage, address.storage.data(), address.length);
  UniqueSocket fresh;
  if (const std::uint32_t error = openSocket(storage.ss_family, fresh)) return error;
  // Acknowledgements are small; send them without delay.
  const BOOL on = TRUE;
  if (::setsockopt(fresh.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) != 0)
    return lastSocketError();
  if (::connect(fresh.get(), reinterpret_cast<const sockaddr*>(&storage), static_cast<int>(address.length)) != 0) {
    const std::uint32_t error = lastSocketError();
    if (error != kWsaEWouldBlock) return error;
  }
  socket = std::make_unique<WinsockStreamSocket>(std::move(fresh));
  return 0;
}

std::uint32_t listenTcp(std::string_view bindAddress, std::uint16_t port, std::unique_ptr<StreamListener>& listener) {
  listener.reset();
  if (const std::uint32_t error = win32::startWinsock()) return error;
  const std::string hostText(bindAddress);
  const AddressList found = lookUp(hostText.empty() ? nullptr : hostText.c_str(), port, AI_PASSIVE | AI_NUMERICSERV);
  if (!found) return kWsaHostNotFound;

  UniqueSocket fresh;
  if (const std::uint32_t error = openSocket(found->ai_family, fresh)) return error;
  // Nobody else may bind the same port while this listens (SO_REUSEADDR
  // would let another program take it over on Windows).
  const BOOL on = TRUE;
  if (::setsockopt(fresh.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
    return lastSocketError();
  if (::bind(fresh.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) return lastSocketError();
  if (::listen(fresh.get(), SOMAXCONN) != 0) return lastSocketError();

  sockaddr_storage bound{};
  int length = sizeof bound;
  if (::getsockname(fresh.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return lastSocketError();
  char hostBuffer[NI_MAXHOST];
  char portBuffer[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&bound), length, hostBuffer, sizeof hostBuffer, portBuffer,
                    sizeof portBuffer, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return kWsaHostNotFound;
  std::uint16_t boundPort = 0;
  std::from_chars(portBuffer, portBuffer + std::strlen(portBuffer), boundPort);
  const std::string hostPart = bound.ss_family == AF_INET6 ? "[" + std::string(hostBuffer) + "]" : hostBuffer;
  listener = std::make_unique<WinsockStreamListener>(std::move(fresh), hostPart + ":" + portBuffer, boundPort);
  return 0;
}

std::string localHostName() {
  if (win32::startWinsock() != 0) return {};
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace vorn::platform
