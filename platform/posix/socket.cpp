// Stream sockets on POSIX: every socket is non-blocking and close-on-exec;
// errno values become Winsock codes through winsockFromErrno. A local stream
// endpoint is the Unix socket pipe/<name> under the platform root.
#include "platform/socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/address_list.h"
#include "platform/error.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/root.h"
#include "platform/posix/unique_fd.h"

namespace vorn::platform {
namespace {

using posix::UniqueFd;

std::uint32_t lastSocketError() { return winsockFromErrno(errno); }

// A new non-blocking, close-on-exec stream socket of `family`.
std::uint32_t openSocket(int family, UniqueFd& fd) {
  fd = UniqueFd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  return fd.valid() ? 0 : lastSocketError();
}

class PosixStreamSocket final : public StreamSocket, public posix::HasDescriptor {
 public:
  explicit PosixStreamSocket(UniqueFd fd) : fd_(std::move(fd)) {}

  int descriptor() const override { return fd_.get(); }

  std::uint32_t connectStatus() override {
    pollfd probe{fd_.get(), POLLOUT, 0};
    const int n = ::poll(&probe, 1, 0);
    if (n < 0) return lastSocketError();
    if (n == 0) return kWsaEWouldBlock;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return lastSocketError();
    if (error != 0) return winsockFromErrno(error);
    // Writable without a pending error but hung up: the peer went at once.
    if (probe.revents & POLLHUP) return kWsaEConnReset;
    return 0;
  }

  std::uint32_t receive(std::span<std::uint8_t> buffer, std::size_t& got) override {
    got = 0;
    for (;;) {
      const ssize_t n = ::recv(fd_.get(), buffer.data(), buffer.size(), 0);
      if (n >= 0) {
        got = static_cast<std::size_t>(n);
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return kWsaEWouldBlock;
      return lastSocketError();
    }
  }

  std::uint32_t send(std::span<const std::uint8_t> data, std::size_t& sent) override {
    sent = 0;
    for (;;) {
      // MSG_NOSIGNAL: a vanished peer is an error result, not SIGPIPE.
      const ssize_t n = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
      if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return kWsaEWouldBlock;
      return lastSocketError();
    }
  }

 private:
  UniqueFd fd_;
};

class PosixStreamListener final : public StreamListener, public posix::HasDescriptor {
 public:
  PosixStreamListener(UniqueFd fd, std::string description, std::uint16_t port,
                      std::filesystem::path localPath)
      : fd_(std::move(fd)),
        description_(std::move(description)),
        port_(port),
        localPath_(std::move(localPath)) {}

  ~PosixStreamListener() override {
    if (!localPath_.empty()) ::unlink(localPath_.c_str());
  }

  int descriptor() const override { return fd_.get(); }

  std::uint32_t accept(std::unique_ptr<StreamSocket>& peer) override {
    for (;;) {
      UniqueFd fd(::accept4(fd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (fd.valid()) {
        peer = std::make_unique<PosixStreamSocket>(std::move(fd));
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return kWsaEWouldBlock;
      return lastSocketError();
    }
  }

  std::string description() const override { return description_; }
  std::uint16_t port() const override { return port_; }

 private:
  UniqueFd fd_;
  std::string description_;
  std::uint16_t port_;
  std::filesystem::path localPath_;
};

// Fills a sockaddr_un for `path`; false when the path does not fit.
bool localAddress(const std::filesystem::path& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.empty() || text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.data(), text.size());
  return true;
}

// Where the local endpoint `name` lives: pipe/<name> under the root, the
// folder made on demand. A name must be one file name.
std::uint32_t localEndpointPath(std::string_view name, std::filesystem::path& path) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\", 0) != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    return kErrorInvalidName;
  std::filesystem::path folder;
  if (const std::uint32_t error = rootFolder("pipe", folder)) return error;
  path = folder / std::string(name);
  return 0;
}

std::uint32_t connectLocal(const std::filesystem::path& path, UniqueFd& fd) {
  sockaddr_un address;
  if (!localAddress(path, address)) return kErrorFilenameExcedRange;
  if (const std::uint32_t error = openSocket(AF_UNIX, fd)) return error;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
  if (errno == EINPROGRESS || errno == EAGAIN) return kWsaEWouldBlock;
  if (errno == ENOENT) return kErrorFileNotFound;
  return lastSocketError();
}

}  // namespace

std::uint32_t resolveHost(std::string_view host, std::uint16_t port,
                          std::vector<SocketAddress>& addresses) {
  addresses.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string hostText(host);
  const std::string portText = std::to_string(port);
  if (hostText.empty() || ::getaddrinfo(hostText.c_str(), portText.c_str(), &hints, &found) != 0)
    return kWsaHostNotFound;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);

  addresses = addressList(found, AF_INET);
  return addresses.empty() ? kWsaHostNotFound : 0;
}

std::uint32_t startConnect(const SocketAddress& address, std::unique_ptr<StreamSocket>& socket) {
  socket.reset();
  sockaddr_storage storage{};
  if (address.length < sizeof(sa_family_t) || address.length > sizeof storage) return kWsaHostNotFound;
  std::memcpy(&storage, address.storage.data(), address.length);
  UniqueFd fd;
  if (const std::uint32_t error = openSocket(storage.ss_family, fd)) return error;
  const int one = 1;
  // Acknowledgements are small; send them without delay.
  if (::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) return lastSocketError();
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&storage), address.length) != 0 &&
      errno != EINPROGRESS)
    return lastSocketError();
  socket = std::make_unique<PosixStreamSocket>(std::move(fd));
  return 0;
}

std::uint32_t startLocalConnect(std::string_view name, std::unique_ptr<StreamSocket>& socket) {
  socket.reset();
  std::filesystem::path path;
  if (const std::uint32_t error = localEndpointPath(name, path)) return error;
  UniqueFd fd;
  const std::uint32_t error = connectLocal(path, fd);
  if (error != 0 && error != kWsaEWouldBlock) return error;
  socket = std::make_unique<PosixStreamSocket>(std::move(fd));
  return 0;
}

std::uint32_t listenTcp(std::string_view bindAddress, std::uint16_t port,
                        std::unique_ptr<StreamListener>& listener) {
  listener.reset();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string hostText(bindAddress);
  const std::string portText = std::to_string(port);
  if (::getaddrinfo(hostText.empty() ? nullptr : hostText.c_str(), portText.c_str(), &hints, &found) != 0)
    return kWsaHostNotFound;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);

  UniqueFd fd;
  if (const std::uint32_t error = openSocket(found->ai_family, fd)) return error;
  const int one = 1;
  if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) return lastSocketError();
  if (::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0) return lastSocketError();
  if (::listen(fd.get(), SOMAXCONN) != 0) return lastSocketError();

  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return lastSocketError();
  char hostBuffer[NI_MAXHOST];
  char portBuffer[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&bound), length, hostBuffer, sizeof hostBuffer,
                    portBuffer, sizeof portBuffer, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return kWsaHostNotFound;
  const auto boundPort = static_cast<std::uint16_t>(std::stoi(portBuffer));
  const std::string hostPart = bound.ss_family == AF_INET6 ? "[" + std::string(hostBuffer) + "]" : hostBuffer;
  listener = std::make_unique<PosixStreamListener>(std::move(fd), hostPart + ":" + portBuffer, boundPort,
                                                   std::filesystem::path());
  return 0;
}

std::uint32_t listenLocal(std::string_view name, std::unique_ptr<StreamListener>& listener) {
  listener.reset();
  std::filesystem::path path;
  if (const std::uint32_t error = localEndpointPath(name, path)) return error;
  sockaddr_un address;
  if (!localAddress(path, address)) return kErrorFilenameExcedRange;

  struct stat info{};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) return kWsaEAddrInUse;
    // A socket file: live when someone accepts on it, stale otherwise.
    UniqueFd probe;
    const std::uint32_t probeResult = connectLocal(path, probe);
    if (probeResult == 0 || probeResult == kWsaEWouldBlock) return kWsaEAddrInUse;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return lastSocketError();
  }

  UniqueFd fd;
  if (const std::uint32_t error = openSocket(AF_UNIX, fd)) return error;
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return lastSocketError();
  // Anyone may connect, as to a pipe with a null DACL.
  if (::chmod(path.c_str(), 0666) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
    const std::uint32_t error = lastSocketError();
    ::unlink(path.c_str());
    return error;
  }
  listener = std::make_unique<PosixStreamListener>(std::move(fd), path.string(), 0, path);
  return 0;
}

namespace {

unsigned waitDescriptor(int descriptor, unsigned interest, int timeoutMs) {
  // An object of another implementation: ready at once, so that the caller's
  // next call on it says what is wrong instead of a wait without end.
  if (descriptor < 0) return kReadable;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  pollfd entry{descriptor, 0, 0};
  if (interest & kReadable) entry.events |= POLLIN;
  if (interest & kWritable) entry.events |= POLLOUT;
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    }
    entry.revents = 0;
    const int n = ::poll(&entry, 1, wait);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? kReadable : 0;  // a failed poll: let the caller's read report it
    unsigned ready = 0;
    if (entry.revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) ready |= kReadable;
    if (entry.revents & POLLOUT) ready |= kWritable;
    return ready;
  }
}

}  // namespace

unsigned waitReady(StreamSocket& socket, unsigned interest, int timeoutMs) {
  return waitDescriptor(posix::descriptorOf(socket), interest, timeoutMs);
}

unsigned waitReady(StreamListener& listener, int timeoutMs) {
  return waitDescriptor(posix::descriptorOf(listener), kReadable, timeoutMs);
}

std::string localHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace vorn::platform
