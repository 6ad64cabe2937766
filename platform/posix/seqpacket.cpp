#include "platform/posix/seqpacket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"

namespace vorn::platform::posix {
namespace {

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

UniqueFd newSocket() {
  return UniqueFd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

// Fills `address` with `path`; false when it does not fit.
bool makeAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

int connectTo(int fd, const sockaddr_un& address) {
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

// Holds flock(2) on the socket's folder while a listener is set up, so that
// two processes never both judge the same file stale and replace it. A lock
// that cannot be taken only reopens that narrow race, so set-up goes on.
class FolderLock {
 public:
  explicit FolderLock(int folder) : folder_(folder) {
    while (::flock(folder_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() { ::flock(folder_, LOCK_UN); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int folder_;
};

int remainingMs(Deadline deadline) {
  if (deadline == Deadline::max()) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  // Round up, so a wait never ends a little before its deadline.
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count() + 1, 0, 1 << 30));
}

}  // namespace

Deadline deadlineAfter(std::uint32_t milliseconds) {
  if (milliseconds == kInfinite) return Deadline::max();
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

std::uint32_t SocketFile::open(const std::filesystem::path& folder, std::string_view name, SocketFile& file) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != name.npos) {
    return kErrorInvalidName;
  }
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return win32FromErrno(errno);
  file.folder_ = std::move(fd);
  file.name_ = std::string(name);
  sockaddr_un socketAddress;
  if (!makeAddress(file.address(), socketAddress)) return kErrorFilenameExcedRange;
  return kErrorSuccess;
}

std::string SocketFile::address() const {
  return "/proc/self/fd/" + std::to_string(folder_.get()) + "/" + name_;
}

std::uint32_t SocketFile::listen(UniqueFd& listener) {
  sockaddr_un socketAddress;
  if (!makeAddress(address(), socketAddress)) return kErrorFilenameExcedRange;
  UniqueFd fd = newSocket();
  if (!fd) return win32FromErrno(errno);
  FolderLock lock(folder_.get());
  for (int attempt = 0;; ++attempt) {
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0) break;
    if (errno != EADDRINUSE || attempt > 0) return win32FromErrno(errno);
    struct stat existing {};
    if (::fstatat(folder_.get(), name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    if (!S_ISSOCK(existing.st_mode)) return kErrorAccessDenied;
    UniqueFd probe = newSocket();
    if (!probe) return win32FromErrno(errno);
    const int refused = connectTo(probe.get(), socketAddress);
    if (refused != ECONNREFUSED && refused != ENOENT) return kErrorAccessDenied;  // a live listener
    if (::unlinkat(folder_.get(), name_.c_str(), 0) != 0 && errno != ENOENT) return win32FromErrno(errno);
  }
  struct stat bound {};
  if (::fchmodat(folder_.get(), name_.c_str(), 0666, 0) != 0 ||
      ::fstatat(folder_.get(), name_.c_str(), &bound, AT_SYMLINK_NOFOLLOW) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
    const int error = errno;
    ::unlinkat(folder_.get(), name_.c_str(), 0);
    return win32FromErrno(error);
  }
  boundDevice_ = bound.st_dev;
  boundInode_ = bound.st_ino;
  listener = std::move(fd);
  return kErrorSuccess;
}

void SocketFile::removeBound() const {
  struct stat current {};
  if (boundInode_ == 0 || ::fstatat(folder_.get(), name_.c_str(), &current, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (current.st_dev == boundDevice_ && current.st_ino == boundInode_) ::unlinkat(folder_.get(), name_.c_str(), 0);
}

std::uint32_t SocketFile::connect(UniqueFd& socket) const {
  sockaddr_un socketAddress;
  if (!makeAddress(address(), socketAddress)) return kErrorFilenameExcedRange;
  UniqueFd fd = newSocket();
  if (!fd) return win32FromErrno(errno);
  switch (const int error = connectTo(fd.get(), socketAddress)) {
    case 0:
      socket = std::move(fd);
      return kErrorSuccess;
    case ENOENT:
    case ECONNREFUSED:
      return kErrorFileNotFound;
    case EAGAIN:
      return kErrorPipeBusy;
    default:
      return win32FromErrno(error);
  }
}

std::uint32_t waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, remainingMs(deadline));
    if (n > 0) return kErrorSuccess;  // ready, or an error or hang-up the next call reports
    if (n == 0) return kErrorSemTimeout;
    if (errno != EINTR) return win32FromErrno(errno);
  }
}

std::uint32_t receiveMessage(int fd, std::span<std::uint8_t> buffer, std::size_t& got, Deadline deadline) {
  got = 0;
  for (;;) {
    // MSG_TRUNC makes recv return the message's real length, so a cut is seen.
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (n > 0) {
      const auto length = static_cast<std::size_t>(n);
      got = std::min(length, buffer.size());
      return length > buffer.size() ? kErrorMoreData : kErrorSuccess;
    }
    if (n == 0) return kErrorBrokenPipe;
    if (errno == EINTR) continue;
    if (errno == ECONNRESET) return kErrorBrokenPipe;
    if (errno != EAGAIN) return win32FromErrno(errno);
    if (const std::uint32_t error = waitFor(fd, POLLIN, deadline)) return error;
  }
}

std::uint32_t sendMessage(int fd, std::span<const std::uint8_t> message, Deadline deadline) {
  for (;;) {
    // MSG_NOSIGNAL: a vanished peer is an error result, not SIGPIPE.
    if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return kErrorSuccess;
    if (errno == EINTR) continue;
    if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) return kErrorNoData;
    if (errno != EAGAIN) return win32FromErrno(errno);
    if (const std::uint32_t error = waitFor(fd, POLLOUT, deadline)) return error;
  }
}

std::uint32_t peerCredentials(int fd, ucred& peer) {
  socklen_t length = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return win32FromErrno(errno);
  return length == sizeof peer ? kErrorSuccess : kErrorInvalidHandle;
}

bool peerHasGone(int fd) {
  pollfd entry{fd, POLLRDHUP, 0};
  int n;
  do {
    n = ::poll(&entry, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n != 0 && (n < 0 || (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0);
}

bool isPrivilegedUser(uid_t uid) { return uid == 0 || uid == ::geteuid(); }

}  // namespace vorn::platform::posix
