#include "service/pipe_server.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/named_pipe.h"
#include "platform/thread.h"
#include "service/service_event_log.h"

namespace vorn {
namespace {

constexpr std::uint32_t kFirstBackoffMs = 100;
constexpr std::uint32_t kLastBackoffMs = 10000;

const platform::NamedPipeLimits kPipeLimits{
    .maxInstances = kPipeInstancesMax,
    .outBufferSize = kPipeMessageSize,
    .inBufferSize = kPipeMessageSize,
    .defaultTimeoutMs = kPipeTimeoutMs,
};

}  // namespace

void PipeServer::StartPipeServerThread() {
  std::lock_guard lock(pipeLock_);
  ++threadCount_;
  // The handle is closed when `thread` goes; the thread runs on.
  std::unique_ptr<platform::Thread> thread;
  if (platform::createThread([this] { PipeServerThread(); }, thread) != platform::kErrorSuccess) {
    log_.ReportLastError("can't create pipe server thread");
    --threadCount_;
  }
}

void PipeServer::PipeServerThread() {
  std::unique_ptr<platform::NamedPipe> pipe;
  std::vector<std::uint8_t> buffer(kPipeMessageSize);
  for (;;) {
    if (!pipe) {
      if (const std::uint32_t error = platform::createNamedPipe(kServicePipeName, kPipeLimits, pipe)) {
        std::int32_t count = 0;
        {
          std::lock_guard lock(pipeLock_);
          count = threadCount_;
        }
        platform::setLastError(error);
        log_.ReportLastError("thread " + std::to_string(count) + " can't open named pipe");
        if (!retryAfterFailure()) return;
        continue;
      }
    }
    const std::uint32_t error = pipe->connect();
    if (error == platform::kErrorNoData) {
      // The client left before the connection was made: wait for the next one.
      static_cast<void>(pipe->disconnect());
      continue;
    }
    if (error != platform::kErrorSuccess && error != platform::kErrorPipeConnected) {
      platform::setLastError(error);
      log_.ReportLastError("error in ConnectNamedPipe");
      if (!retryAfterFailure()) return;
      continue;
    }
    {
      std::lock_guard lock(pipeLock_);
      backoffMs_ = 0;
      ++busyCount_;
      if (busyCount_ >= threadCount_ && threadCount_ < static_cast<std::int32_t>(kPipeInstancesMax))
        StartPipeServerThread();
    }
    const bool served = serveClient(*pipe, buffer);
    {
      std::lock_guard lock(pipeLock_);
      --busyCount_;
    }
    if (!served) {
      pipe.reset();  // a new instance, should this thread go on
      if (!retryAfterFailure()) return;
    }
  }
}

bool PipeServer::serveClient(platform::NamedPipe& pipe, std::span<std::uint8_t> buffer) {
  std::size_t received = 0;
  std::size_t length = 0;
  // A client that waits for its reply gets it before the disconnect; one
  // that has gone or stayed silent is not waited for.
  bool awaited = true;
  if (const std::uint32_t error = pipe.read(buffer, received)) {
    // Also a message too long for the buffer: it is refused, never taken cut.
    length = encodeErrorReply(buffer, error, SystemErrorText(error));
    awaited = error == platform::kErrorMoreData;
  } else {
    // Asked of every client: a show costs it nothing on either platform.
    bool administrator = false;
    if (pipe.checkClientTokenMembership(administrator) != platform::kErrorSuccess) administrator = false;
    length = DispatchRequest(context_, buffer, received, administrator);
  }
  std::size_t written = 0;
  if (pipe.write(buffer.first(length), written) == platform::kErrorSuccess && written == length && awaited)
    static_cast<void>(pipe.flush());
  if (const std::uint32_t error = pipe.disconnect()) {
    platform::setLastError(error);
    log_.ReportLastError("error in DisconnectNamedPipe");
    return false;
  }
  return true;
}

bool PipeServer::retryAfterFailure() {
  std::uint32_t delayMs = 0;
  {
    std::lock_guard lock(pipeLock_);
    if (threadCount_ - 1 > busyCount_) {
      --threadCount_;  // another instance still listens
      return false;
    }
    // The last listener stays; a lasting failure (say, no descriptors left) must not spin.
    backoffMs_ = std::clamp(backoffMs_ * 2, kFirstBackoffMs, kLastBackoffMs);
    delayMs = backoffMs_;
  }
  clock_.sleep(delayMs);
  return true;
}

}  // namespace vorn
