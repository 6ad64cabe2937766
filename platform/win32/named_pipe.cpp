// Message-mode named pipes on Windows: CreateNamedPipeA with a null DACL,
// overlapped I/O so that a read waits no longer than the pipe's default
// time-out (CancelIo ends it), and CallNamedPipeA for the client.
#include "platform/named_pipe.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "platform/win32/open_security.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

// The wait Windows takes for a pipe created with a default time-out of 0.
constexpr DWORD kSystemDefaultTimeoutMs = 50;

std::string pipePath(std::string_view name) { return "\\\\.\\pipe\\" + std::string(name); }

std::uint32_t failWith(DWORD code) {
  ::SetLastError(code);
  return code;
}

class Win32NamedPipe final : public NamedPipe {
 public:
  Win32NamedPipe(win32::UniqueHandle pipe, win32::UniqueHandle ioDone, DWORD timeoutMs)
      : pipe_(std::move(pipe)), ioDone_(std::move(ioDone)), timeoutMs_(timeoutMs) {}

  std::uint32_t connect() override {
    OVERLAPPED io = overlapped();
    if (::ConnectNamedPipe(pipe_.get(), &io)) return kErrorSuccess;
    const DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED) return failWith(error);
    if (error != ERROR_IO_PENDING) return failWith(error);
    DWORD ignored = 0;
    return ::GetOverlappedResult(pipe_.get(), &io, &ignored, TRUE) ? kErrorSuccess : failWith(::GetLastError());
  }

  std::uint32_t read(std::span<std::uint8_t> buffer, std::size_t& got) override {
    got = 0;
    OVERLAPPED io = overlapped();
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
    if (!::ReadFile(pipe_.get(), buffer.data(), wanted, nullptr, &io)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_IO_PENDING) {
        if (::WaitForSingleObject(ioDone_.get(), timeoutMs_) == WAIT_TIMEOUT) ::CancelIo(pipe_.get());
      } else if (error != ERROR_MORE_DATA) {
        return failWith(error);
      }
    }
    // The read is over before `io` and `buffer` go, also once cancelled; a
    // message that came before the cancel counts.
    DWORD transferred = 0;
    if (::GetOverlappedResult(pipe_.get(), &io, &transferred, TRUE)) {
      got = transferred;
      return kErrorSuccess;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_OPERATION_ABORTED) return failWith(ERROR_SEM_TIMEOUT);
    if (error == ERROR_MORE_DATA) got = transferred;
    return failWith(error);
  }

  std::uint32_t write(std::span<const std::uint8_t> message, std::size_t& written) override {
    written = 0;
    if (message.size() > MAXDWORD) return failWith(ERROR_INVALID_PARAMETER);
    OVERLAPPED io = overlapped();
    DWORD transferred = 0;
    if (!::WriteFile(pipe_.get(), message.data(), static_cast<DWORD>(message.size()), nullptr, &io) &&
        ::GetLastError() != ERROR_IO_PENDING) {
      return failWith(::GetLastError());
    }
    if (!::GetOverlappedResult(pipe_.get(), &io, &transferred, TRUE)) return failWith(::GetLastError());
    written = transferred;
    return kErrorSuccess;
  }

  std::uint32_t flush() override {
    return ::FlushFileBuffers(pipe_.get()) ? kErrorSuccess : failWith(::GetLastError());
  }

  std::uint32_t disconnect() override {
    return ::DisconnectNamedPipe(pipe_.get()) ? kErrorSuccess : failWith(::GetLastError());
  }

  // The pipe's null DACL lets every user in, and the service asks no more of
  // a client on Windows.
  std::uint32_t checkClientTokenMembership(bool& isMember) override {
    isMember = true;
    return kErrorSuccess;
  }

 private:
  OVERLAPPED overlapped() const {
    OVERLAPPED io{};
    io.hEvent = ioDone_.get();
    return io;
  }

  win32::UniqueHandle pipe_;
  win32::UniqueHandle ioDone_;  // manual-reset: each operation resets it as it starts
  DWORD timeoutMs_;
};

}  // namespace

std::uint32_t createNamedPipe(std::string_view name, const NamedPipeLimits& limits,
                              std::unique_ptr<NamedPipe>& pipe) {
  pipe.reset();
  // A null DACL: any user may connect.
  win32::OpenSecurity security;
  if (const std::uint32_t error = security.create()) return failWith(error);
  const std::string path = pipePath(name);
  win32::UniqueHandle handle(::CreateNamedPipeA(
      path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
      limits.maxInstances, limits.outBufferSize, limits.inBufferSize, limits.defaultTimeoutMs, security.attributes()));
  if (!handle) return failWith(::GetLastError());
  win32::UniqueHandle ioDone(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!ioDone) return failWith(::GetLastError());
  const DWORD timeout = limits.defaultTimeoutMs == 0 ? kSystemDefaultTimeoutMs : limits.defaultTimeoutMs;
  pipe = std::make_unique<Win32NamedPipe>(std::move(handle), std::move(ioDone), timeout);
  return kErrorSuccess;
}

std::uint32_t callNamedPipe(std::string_view name, std::span<const std::uint8_t> request,
                            std::span<std::uint8_t> reply, std::size_t& got, std::uint32_t timeoutMs) {
  got = 0;
  if (request.size() > MAXDWORD || reply.size() > MAXDWORD) return failWith(ERROR_INVALID_PARAMETER);
  const std::string path = pipePath(name);
  DWORD read = 0;
  if (!::CallNamedPipeA(path.c_str(), const_cast<std::uint8_t*>(request.data()), static_cast<DWORD>(request.size()),
                        reply.data(), static_cast<DWORD>(reply.size()), &read, timeoutMs)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_MORE_DATA) got = reply.size();
    return failWith(error);
  }
  got = read;
  return kErrorSuccess;
}

}  // namespace vorn::platform
