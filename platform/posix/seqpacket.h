// Local message sockets (AF_UNIX, SOCK_SEQPACKET) named by a file in a
// folder: the transport of the named pipes and of the service control
// manager's control channel. Every socket is non-blocking and close-on-exec;
// waits are poll(2) against a deadline on the steady clock (real time: the
// test time scale does not apply). Results are Win32 codes.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

using Deadline = std::chrono::steady_clock::time_point;

// The deadline `milliseconds` from now; 0xFFFFFFFF (INFINITE) never comes.
Deadline deadlineAfter(std::uint32_t milliseconds);

// A socket file: the folder it lives in, held open, and its name there. The
// socket is always addressed through the folder's descriptor
// ("/proc/self/fd/<n>/<name>"), so a root of any depth fits in sun_path.
class SocketFile {
 public:
  // Opens the existing `folder` for the socket `name`. kErrorInvalidName for
  // a name that cannot be a file name; kErrorFilenameExcedRange when the
  // name is too long for a socket address (about 85 bytes).
  static std::uint32_t open(const std::filesystem::path& folder, std::string_view name, SocketFile& file);

  // Binds and listens: the file is made mode 0666 (anyone may connect). A
  // socket file that nobody listens on any more is replaced; one that a live
  // socket listens on (another process's) is kErrorAccessDenied.
  std::uint32_t listen(UniqueFd& listener);

  // Removes the file if it is still the one that listen() bound (a later
  // owner's file is left alone).
  void removeBound() const;

  // Connects. kErrorFileNotFound when there is no such file or nobody
  // listens on it; kErrorPipeBusy when the listener's backlog is full.
  std::uint32_t connect(UniqueFd& socket) const;

  int folder() const { return folder_.get(); }
  const std::string& name() const { return name_; }

 private:
  std::string address() const;

  UniqueFd folder_;
  std::string name_;
  dev_t boundDevice_ = 0;
  ino_t boundInode_ = 0;
};

// Waits until `fd` has `events` (POLLIN, POLLOUT) or the deadline passes:
// 0 or kErrorSemTimeout.
std::uint32_t waitFor(int fd, short events, Deadline deadline);

// Receives one message into `buffer`, waiting for it until the deadline
// (kErrorSemTimeout). A longer message is kErrorMoreData with `got` =
// buffer.size() (its rest is lost); the peer's orderly close is
// kErrorBrokenPipe.
std::uint32_t receiveMessage(int fd, std::span<std::uint8_t> buffer, std::size_t& got, Deadline deadline);

// Sends `message` whole, waiting for room until the deadline. A peer that has
// gone is kErrorNoData; no SIGPIPE is ever raised.
std::uint32_t sendMessage(int fd, std::span<const std::uint8_t> message, Deadline deadline);

// Who is at the other end of a connected socket (SO_PEERCRED: as the peer
// was when it connected).
std::uint32_t peerCredentials(int fd, ucred& peer);

// Whether the peer has closed its end (or the connection failed): a request
// it sent before is no longer awaited.
bool peerHasGone(int fd);

// Root and this process's own user: whoever may already do everything to
// what this process runs.
bool isPrivilegedUser(uid_t uid);

}  // namespace vorn::platform::posix
