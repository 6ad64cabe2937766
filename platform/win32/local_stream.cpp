// The local stream endpoint <name> on Windows: the byte-mode named pipe
// \\.\pipe\<name>. The listener keeps a few instances waiting in overlapped
// ConnectNamedPipe calls (its backlog) and makes a new one for each client
// it accepts; a client opens the pipe with CreateFileA.
#include "platform/socket.h"

#include <windows.h>

#include <array>
#include <string>

#include "platform/error.h"
#include "platform/win32/loop_sources.h"
#include "platform/win32/open_security.h"
#include "platform/win32/overlapped_operation.h"
#include "platform/win32/pipe_stream.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

using win32::UniqueHandle;

// Instances waiting for clients at once, as a socket's backlog.
constexpr std::size_t kBacklog = 4;
constexpr DWORD kBufferSize = 64 * 1024;
// The longest pipe name Windows takes, "\\.\pipe\" included.
constexpr std::size_t kMaxPathLength = 256;
// How long a client waits for a free instance when all are taken.
constexpr DWORD kBusyWaitMs = 2000;

// \\.\pipe\<name>, or an error for a name that is not one plain name.
std::uint32_t pipePath(std::string_view name, std::string& path) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    return kErrorInvalidName;
  path = "\\\\.\\pipe\\" + std::string(name);
  return path.size() > kMaxPathLength ? kErrorFilenameExcedRange : 0;
}

// One instance of the pipe, waiting for a client or connected to one.
class PipeInstance {
 public:
  std::uint32_t create(const std::string& path, bool first) {
    win32::OpenSecurity security;
    if (const std::uint32_t error = security.create()) return error;
    if (const std::uint32_t error = connectOperation_.create()) return error;
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
    if (first) openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    pipe_.reset(::CreateNamedPipeA(path.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, 0, security.attributes()));
    if (!pipe_) {
      const DWORD error = ::GetLastError();
      // Another listener has the name.
      return first && error == ERROR_ACCESS_DENIED ? kWsaEAddrInUse : error;
    }
    return startConnect();
  }

  // Whether a client is connected; collects the outcome of the wait for one.
  bool connected() {
    if (connected_) return true;
    DWORD transferred = 0;
    DWORD error = 0;
    if (!connectOperation_.finished(pipe_.get(), transferred, error)) return false;
    if (error == 0) {
      connected_ = true;
    } else {
      // The client went again before it was taken: wait for the next one.
      ::DisconnectNamedPipe(pipe_.get());
      startConnect();
    }
    return connected_;
  }

  UniqueHandle take() { return std::move(pipe_); }

  void appendWaitHandle(std::vector<HANDLE>& handles) const {
    if (connectOperation_.pending()) handles.push_back(connectOperation_.event());
  }

  ~PipeInstance() {
    if (pipe_) connectOperation_.cancel(pipe_.get());
  }

 private:
  std::uint32_t startConnect() {
    if (::ConnectNamedPipe(pipe_.get(), connectOperation_.begin())) {
      connectOperation_.abandon();
      connected_ = true;
      return 0;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) return 0;
    connectOperation_.abandon();
    if (error == ERROR_PIPE_CONNECTED) {
      connected_ = true;  // the client came before the call
      return 0;
    }
    if (error == ERROR_NO_DATA) {  // ... and went again
      ::DisconnectNamedPipe(pipe_.get());
      return startConnect();
    }
    return error;
  }

  UniqueHandle pipe_;
  win32::OverlappedOperation connectOperation_;
  bool connected_ = false;
};

class PipeListener final : public StreamListener, public win32::OverlappedObject {
 public:
  explicit PipeListener(std::string path) : path_(std::move(path)) {}

  // Makes the first instance, which claims the name.
  std::uint32_t open() {
    // FILE_FLAG_FIRST_PIPE_INSTANCE refuses a name in use atomically on
    // Windows; Wine ignores the flag, so the name is also looked for first.
    if (::WaitNamedPipeA(path_.c_str(), 1) || ::GetLastError() != ERROR_FILE_NOT_FOUND) return kWsaEAddrInUse;
    auto first = std::make_unique<PipeInstance>();
    if (const std::uint32_t error = first->create(path_, true)) return error;
    instances_[0] = std::move(first);
    refill();
    return 0;
  }

  std::uint32_t accept(std::unique_ptr<StreamSocket>& peer) override {
    const std::uint32_t refillError = refill();
    for (auto& instance : instances_) {
      if (!instance || !instance->connected()) continue;
      UniqueHandle pipe = instance->take();
      instance.reset();
      refill();
      std::unique_ptr<win32::PipeStream> stream;
      if (const std::uint32_t error = win32::PipeStream::create(std::move(pipe), stream)) return error;
      peer = std::move(stream);
      return 0;
    }
    return waiting() == 0 && refillError != 0 ? refillError : kWsaEWouldBlock;
  }

  std::string description() const override { return path_; }
  std::uint16_t port() const override { return 0; }

  unsigned readyFor(unsigned) override {
    for (auto& instance : instances_)
      if (instance && instance->connected()) return kReadable;
    return 0;
  }

  void appendWaitHandles(std::vector<HANDLE>& handles) const override {
    for (const auto& instance : instances_)
      if (instance) instance->appendWaitHandle(handles);
  }

 private:
  // Makes new instances where clients took the old ones; 0 or the last failure.
  std::uint32_t refill() {
    std::uint32_t failure = 0;
    for (auto& instance : instances_) {
      if (instance) continue;
      auto fresh = std::make_unique<PipeInstance>();
      if (const std::uint32_t error = fresh->create(path_, false)) {
        failure = error;
        continue;
      }
      instance = std::move(fresh);
    }
    return failure;
  }

  std::size_t waiting() const {
    std::size_t count = 0;
    for (const auto& instance : instances_) count += instance ? 1 : 0;
    return count;
  }

  std::string path_;
  std::array<std::unique_ptr<PipeInstance>, kBacklog> instances_;
};

}  // namespace

std::uint32_t startLocalConnect(std::string_view name, std::unique_ptr<StreamSocket>& socket) {
  socket.reset();
  std::string path;
  if (const std::uint32_t error = pipePath(name, path)) return error;
  const ULONGLONG deadline = ::GetTickCount64() + kBusyWaitMs;
  UniqueHandle pipe;
  for (;;) {
    pipe.reset(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr));
    if (pipe) break;
    const DWORD error = ::GetLastError();
    if (error != ERROR_PIPE_BUSY) return error == ERROR_PATH_NOT_FOUND ? kErrorFileNotFound : error;
    // Every instance is taken for the moment: the listener makes a new one
    // as soon as it accepts.
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return kWsaEConnRefused;
    ::WaitNamedPipeA(path.c_str(), static_cast<DWORD>(deadline - now));
  }
  std::unique_ptr<win32::PipeStream> stream;
  if (const std::uint32_t error = win32::PipeStream::create(std::move(pipe), stream)) return error;
  socket = std::move(stream);
  return 0;
}

std::uint32_t listenLocal(std::string_view name, std::unique_ptr<StreamListener>& listener) {
  listener.reset();
  std::string path;
  if (const std::uint32_t error = pipePath(name, path)) return error;
  auto fresh = std::make_unique<PipeListener>(path);
  if (const std::uint32_t error = fresh->open()) return error;
  listener = std::move(fresh);
  return 0;
}

}  // namespace vorn::platform
