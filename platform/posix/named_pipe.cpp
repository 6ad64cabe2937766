// Named pipes on POSIX: the pipe `name` is the SOCK_SEQPACKET socket
// pipe/<name> under the platform root. The instances of a name in this
// process share one listening socket, made with the first instance and
// removed with the last, or when the process ends; each instance accepts one
// client at a time on it.
//
// A pipe name that a live socket of another process listens on cannot get
// instances here: kErrorAccessDenied (its clients would otherwise reach two
// unrelated servers). Buffer sizes are advisory on Windows and unused here:
// a socket's own buffers hold any message of ours.
#include "platform/named_pipe.h"

#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <linux/sockios.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/exit_actions.h"
#include "platform/posix/root.h"
#include "platform/posix/seqpacket.h"

namespace vorn::platform {
namespace {

using posix::Deadline;
using posix::SocketFile;
using posix::UniqueFd;

constexpr std::uint32_t kMaxInstancesLimit = 255;
// NMPWAIT_USE_DEFAULT_WAIT: a time-out of 0 means Windows' default of 50 ms.
constexpr std::uint32_t kDefaultWaitMs = 50;
// Connections of one ordinary user whose request has not been read yet.
constexpr unsigned kUnreadPerUser = 2;
// The print administrators' group of the platform's print system.
constexpr const char* kPrintAdministrators = "lpadmin";

std::uint32_t result(std::uint32_t code) {
  if (code != kErrorSuccess) setLastError(code);
  return code;
}

std::uint32_t effectiveTimeout(std::uint32_t milliseconds) { return milliseconds == 0 ? kDefaultWaitMs : milliseconds; }

// The listening socket of one pipe name, shared by its instances, and the
// connections of ordinary users it holds whose request is still unread.
struct PipeListener {
  SocketFile file;
  UniqueFd socket;
  std::uint32_t maxInstances = 1;
  std::uint32_t instances = 0;
  std::mutex unreadMutex;
  std::map<uid_t, unsigned> unread;

  ~PipeListener() { file.removeBound(); }

  // false when `uid` already has its share of unread connections.
  bool admitUnread(uid_t uid) {
    std::lock_guard lock(unreadMutex);
    unsigned& count = unread[uid];
    if (count >= kUnreadPerUser) return false;
    ++count;
    return true;
  }

  void releaseUnread(uid_t uid) {
    std::lock_guard lock(unreadMutex);
    if (const auto found = unread.find(uid); found != unread.end() && --found->second == 0) unread.erase(found);
  }
};

// Whether `gid` is among the groups of the peer of `client`.
bool peerIsInGroup(int client, const ucred& peer, gid_t gid) {
  if (peer.gid == gid) return true;
  socklen_t length = 0;
  if (::getsockopt(client, SOL_SOCKET, SO_PEERGROUPS, nullptr, &length) != 0 && errno != ERANGE) return false;
  std::vector<gid_t> groups(length / sizeof(gid_t));
  length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
  if (!groups.empty() && ::getsockopt(client, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) != 0) return false;
  groups.resize(length / sizeof(gid_t));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// The group id of `name`; nothing when the machine has no such group.
std::optional<gid_t> groupId(const char* name) {
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(4096);
  while (::getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  if (found == nullptr) return std::nullopt;
  return found->gr_gid;
}

// The pipe names this process serves. A listener is made and dropped under
// the lock, so a name is never half set up when another instance looks.
class PipeRegistry {
 public:
  PipeRegistry();

  std::uint32_t addInstance(std::string_view name, std::uint32_t maxInstances, PipeListener*& listener) {
    std::lock_guard lock(mutex_);
    auto found = listeners_.find(name);
    if (found == listeners_.end()) {
      auto created = std::make_unique<PipeListener>();
      std::filesystem::path folder;
      if (const std::uint32_t error = rootFolder("pipe", folder)) return error;
      if (const std::uint32_t error = SocketFile::open(folder, name, created->file)) return error;
      if (const std::uint32_t error = created->file.listen(created->socket)) return error;
      created->maxInstances = maxInstances;
      found = listeners_.emplace(std::string(name), std::move(created)).first;
    }
    PipeListener& shared = *found->second;
    if (shared.instances >= shared.maxInstances) return kErrorPipeBusy;
    ++shared.instances;
    listener = &shared;
    return kErrorSuccess;
  }

  void removeInstance(const std::string& name) {
    std::lock_guard lock(mutex_);
    const auto found = listeners_.find(name);
    if (found != listeners_.end() && --found->second->instances == 0) listeners_.erase(found);
  }

  // The process ends with instances still there (a service's pipe threads
  // are never joined): its pipes go with it, as on Windows.
  void removeSockets() {
    std::lock_guard lock(mutex_);
    for (const auto& [name, listener] : listeners_) listener->file.removeBound();
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<PipeListener>, std::less<>> listeners_;
};

// Process-wide, as the pipe names are.
PipeRegistry& pipeRegistry() {
  static PipeRegistry registry;
  return registry;
}

void removePipeSockets() { pipeRegistry().removeSockets(); }

PipeRegistry::PipeRegistry() { posix::atProcessExit(removePipeSockets); }

class PosixNamedPipe final : public NamedPipe {
 public:
  PosixNamedPipe(std::string name, PipeListener& listener, std::uint32_t timeoutMs)
      : name_(std::move(name)), listener_(listener), timeoutMs_(timeoutMs) {}
  ~PosixNamedPipe() override {
    dropClient();
    pipeRegistry().removeInstance(name_);
  }
  PosixNamedPipe(const PosixNamedPipe&) = delete;
  PosixNamedPipe& operator=(const PosixNamedPipe&) = delete;

  std::uint32_t connect() override {
    if (client_) return result(kErrorPipeConnected);
    // The instances of a name all wait on the one listener: each poll wakes
    // them all, one accept wins, the others wait again.
    for (;;) {
      if (const std::uint32_t error = posix::waitFor(listener_.socket.get(), POLLIN, Deadline::max())) {
        return result(error);
      }
      UniqueFd client(::accept4(listener_.socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (!client) {
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) return result(win32FromErrno(errno));
        continue;
      }
      ucred peer{};
      if (posix::peerCredentials(client.get(), peer) != kErrorSuccess) continue;
      const bool privileged = posix::isPrivilegedUser(peer.uid);
      // An ordinary user's connection beyond its share is closed at once.
      if (!privileged && !listener_.admitUnread(peer.uid)) continue;
      client_ = std::move(client);
      peer_ = peer;
      unreadCounted_ = !privileged;
      return kErrorSuccess;
    }
  }

  std::uint32_t read(std::span<std::uint8_t> buffer, std::size_t& got) override {
    got = 0;
    if (!client_) return result(kErrorPipeNotConnected);
    const std::uint32_t error = posix::receiveMessage(client_.get(), buffer, got, posix::deadlineAfter(timeoutMs_));
    releaseUnread();  // read, or given up on
    return result(error);
  }

  std::uint32_t write(std::span<const std::uint8_t> message, std::size_t& written) override {
    written = 0;
    if (!client_) return result(kErrorPipeNotConnected);
    if (const std::uint32_t error = posix::sendMessage(client_.get(), message, posix::deadlineAfter(timeoutMs_))) {
      return result(error);
    }
    written = message.size();
    return kErrorSuccess;
  }

  std::uint32_t flush() override {
    if (!client_) return result(kErrorPipeNotConnected);
    // What the client has not read yet stays charged to our send queue; a
    // client that closes drops it too. Nothing signals the moment it empties,
    // so it is looked at in short steps.
    const Deadline deadline = posix::deadlineAfter(timeoutMs_);
    auto step = std::chrono::milliseconds(1);
    for (;;) {
      int unread = 0;
      if (::ioctl(client_.get(), SIOCOUTQ, &unread) != 0) return result(win32FromErrno(errno));
      if (unread == 0) return kErrorSuccess;
      if (std::chrono::steady_clock::now() >= deadline) return result(kErrorSemTimeout);
      std::this_thread::sleep_for(step);
      step = std::min(step * 2, std::chrono::milliseconds(20));
    }
  }

  std::uint32_t disconnect() override {
    dropClient();
    return kErrorSuccess;
  }

  std::uint32_t checkClientTokenMembership(bool& isMember) override {
    isMember = false;
    if (!client_) return result(kErrorPipeNotConnected);
    if (posix::isPrivilegedUser(peer_.uid)) {
      isMember = true;
    } else if (const auto administrators = groupId(kPrintAdministrators)) {
      isMember = peerIsInGroup(client_.get(), peer_, *administrators);
    }
    return kErrorSuccess;
  }

 private:
  void releaseUnread() {
    if (unreadCounted_) listener_.releaseUnread(peer_.uid);
    unreadCounted_ = false;
  }

  void dropClient() {
    releaseUnread();
    client_.reset();
  }

  std::string name_;
  PipeListener& listener_;
  std::uint32_t timeoutMs_;
  UniqueFd client_;
  ucred peer_{};
  bool unreadCounted_ = false;  // the client holds one of its user's unread connections
};

}  // namespace

std::uint32_t createNamedPipe(std::string_view name, const NamedPipeLimits& limits, std::unique_ptr<NamedPipe>& pipe) {
  if (limits.maxInstances == 0 || limits.maxInstances > kMaxInstancesLimit) return result(kErrorInvalidParameter);
  PipeListener* listener = nullptr;
  if (const std::uint32_t error = pipeRegistry().addInstance(name, limits.maxInstances, listener)) return result(error);
  pipe = std::make_unique<PosixNamedPipe>(std::string(name), *listener, effectiveTimeout(limits.defaultTimeoutMs));
  return kErrorSuccess;
}

std::uint32_t callNamedPipe(std::string_view name, std::span<const std::uint8_t> request, std::span<std::uint8_t> reply,
                            std::size_t& got, std::uint32_t timeoutMs) {
  got = 0;
  const std::uint32_t timeout = effectiveTimeout(timeoutMs);
  // A client makes nothing: no pipe folder is no pipe.
  SocketFile file;
  if (const std::uint32_t error = SocketFile::open(platformRoot() / "pipe", name, file)) {
    return result(error == kErrorPathNotFound ? kErrorFileNotFound : error);
  }
  const Deadline connectDeadline = posix::deadlineAfter(timeout);
  UniqueFd socket;
  for (;;) {
    const std::uint32_t error = file.connect(socket);
    if (error == kErrorSuccess) break;
    if (error != kErrorPipeBusy) return result(error);
    if (std::chrono::steady_clock::now() >= connectDeadline) return result(kErrorSemTimeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The server reads and answers once an instance is free; that wait counts
  // from the request on.
  const Deadline replyDeadline = posix::deadlineAfter(timeout);
  if (const std::uint32_t error = posix::sendMessage(socket.get(), request, replyDeadline)) return result(error);
  return result(posix::receiveMessage(socket.get(), reply, got, replyDeadline));
}

}  // namespace vorn::platform
