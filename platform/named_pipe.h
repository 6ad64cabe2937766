// Message-mode named pipes on this machine: server instances and the client's
// one-call exchange.
// Stands for: CreateNamedPipeA (PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE |
// PIPE_READMODE_MESSAGE | PIPE_WAIT, a null DACL: any user may connect, the
// handle not inheritable), ConnectNamedPipe, ReadFile, WriteFile,
// FlushFileBuffers, DisconnectNamedPipe, CloseHandle; CallNamedPipeA;
// ImpersonateNamedPipeClient with CheckTokenMembership.
//
// On POSIX a user who is neither root nor the server's own user has at most
// two connections at a time whose request the server has not read: a
// further one is closed at once, so one user's silent clients cannot hold
// every instance. The pipe's socket goes when the server process ends.
//
// A pipe is named as the part after "\\.\pipe\" ("VornPrintService").
// Results are Win32 codes (0 on success); a failing call also sets the last
// error. No call raises a signal when the other side has gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace vorn::platform {

// CreateNamedPipeA's sizes and limits.
struct NamedPipeLimits {
  std::uint32_t maxInstances = 1;    // instances of the name at once (at most 255)
  std::uint32_t outBufferSize = 0;   // bytes
  std::uint32_t inBufferSize = 0;    // bytes
  std::uint32_t defaultTimeoutMs = 0;  // how long a client call or a server read waits
};

// One server instance of a pipe; destroying it closes it.
class NamedPipe {
 public:
  virtual ~NamedPipe() = default;

  // ConnectNamedPipe: waits until a client connects to this instance. 0, or
  // kErrorPipeConnected (535) when the client came before the call.
  virtual std::uint32_t connect() = 0;

  // ReadFile of one message from the connected client, into `buffer`; `got`
  // is its length. Waits at most the pipe's default time-out for it
  // (kErrorSemTimeout). A message longer than `buffer` gives kErrorMoreData
  // with `got` = buffer.size(): it is never passed on cut as if whole. A
  // client that has gone gives kErrorBrokenPipe.
  virtual std::uint32_t read(std::span<std::uint8_t> buffer, std::size_t& got) = 0;

  // WriteFile of one message; `written` is how much of it went.
  virtual std::uint32_t write(std::span<const std::uint8_t> message, std::size_t& written) = 0;

  // FlushFileBuffers: waits until the client has read what was written, or
  // has gone, for at most the pipe's default time-out.
  virtual std::uint32_t flush() = 0;

  // DisconnectNamedPipe: ends the client's connection; the instance can
  // connect the next client.
  virtual std::uint32_t disconnect() = 0;

  // Whether the connected client is a print administrator, who may change
  // what runs. Stands for ImpersonateNamedPipeClient, CheckTokenMembership
  // with the print administrators' group, RevertToSelf. Windows answers yes
  // for every client: the pipe's null DACL lets anyone in and asks no more.
  // POSIX (the peer's SO_PEERCRED and SO_PEERGROUPS): root, this process's
  // own user and the members of the group "lpadmin", the print
  // administrators of the platform's print system.
  virtual std::uint32_t checkClientTokenMembership(bool& isMember) = 0;
};

// CreateNamedPipeA: a new server instance of the pipe `name`. Creating more
// instances than `limits.maxInstances` at once gives kErrorPipeBusy (231).
std::uint32_t createNamedPipe(std::string_view name, const NamedPipeLimits& limits,
                              std::unique_ptr<NamedPipe>& pipe);

// CallNamedPipeA: connects to the pipe `name` (waiting up to `timeoutMs` for
// a free instance), writes `request` as one message, reads one reply message
// into `reply` (`got` is its length) and disconnects. kErrorFileNotFound (2)
// when no such pipe exists, kErrorSemTimeout (121) when no instance became
// free or no reply came in time, kErrorMoreData (234) with `got` =
// reply.size() when the reply is longer than `reply`.
std::uint32_t callNamedPipe(std::string_view name, std::span<const std::uint8_t> request,
                            std::span<std::uint8_t> reply, std::size_t& got, std::uint32_t timeoutMs);

}  // namespace vorn::platform
